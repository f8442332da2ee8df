#include "comm/shared_port.h"

namespace varnox {

bool SharedPort::OpenDefaultPort(int port)
{
    // A request that gave up on undecodable data leaves the port open; our own
    // exclusive hold would make the re-open fail, so it is released first.
    CloseComm(DefaultComm);
    InitPanelLineSettings(DefaultComm, port);
    CurrentComm = &DefaultComm;
    if (OpenComm(*CurrentComm, opener_))
        return true;
    window_.MessageBox(BoxKind::Error, kPortErrorTitle, kPortErrorText, DefaultComm.OpenFailureReason);
    return false;
}

void SharedPort::CloseDefaultPort()
{
    if (CurrentComm)
        CloseComm(*CurrentComm);
}

}  // namespace varnox
