#include "update/panel_port.h"

namespace varnox {

CommResult PanelPort::Open(int number)
{
    serial_.Number = number;
    serial_.Line = kPanelLine;
    CommResult opened = serial_.Open(opener_);
    if (opened.failed())
        window_.MessageBox(BoxKind::Error, kPortErrorTitle, kPortErrorText, opened.system);
    return opened;
}

}  // namespace varnox
