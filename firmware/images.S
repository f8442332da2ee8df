/* Embeds the carried images into the program, read-only, each between a
   start and an end symbol. firmware/CMakeLists.txt writes one EMBED_IMAGE
   line per row of image_list.inc, with the full path of the very file whose
   size and digest it checked (a bare name would be looked for in the build
   folder first). The assembler refuses an image whose size is not the listed one. */

#ifdef __ELF__
    .section .rodata.varnox_images,"a",@progbits
#else
    .section .rdata,"dr"
#endif

.macro EMBED_IMAGE name, size, path
    .balign 16
    .globl varnox_image_\name\()_start
    .globl varnox_image_\name\()_end
varnox_image_\name\()_start:
    .incbin "\path"
varnox_image_\name\()_end:
    .if (varnox_image_\name\()_end - varnox_image_\name\()_start) - (\size)
    .error "carried image \name\().bin does not have \size bytes"
    .endif
.endm

#include "embedded_images.inc"

#ifdef __ELF__
    .section .note.GNU-stack,"",@progbits
#endif
