/* Embeds the carried images into the program, read-only, each between a
   start and an end symbol. The assembler finds the .bin files through the
   include path that firmware/CMakeLists.txt passes (-I firmware/images), and
   refuses an image whose size is not the one listed in image_list.inc. */

#ifdef __ELF__
    .section .rodata.varnox_images,"a",@progbits
#else
    .section .rdata,"dr"
#endif

.macro EMBED_IMAGE name, size
    .balign 16
    .globl varnox_image_\name\()_start
    .globl varnox_image_\name\()_end
varnox_image_\name\()_start:
    .incbin "\name\().bin"
varnox_image_\name\()_end:
    .if (varnox_image_\name\()_end - varnox_image_\name\()_start) - (\size)
    .error "carried image \name\().bin does not have \size bytes"
    .endif
.endm

#define FIRMWARE_IMAGE(name, size) EMBED_IMAGE name, size
#define MICROKERNEL_IMAGE(name, size) EMBED_IMAGE name, size
#include "firmware/image_list.inc"

#ifdef __ELF__
    .section .note.GNU-stack,"",@progbits
#endif
