// Identify only: what a run would find before its first write, with nothing written.

#include "firmware/panel_identity.h"
#include "update/update_engine.h"

namespace varnox {

Identification UpdateEngine::Identify()
{
    Identification found;
    run_port_ = SelectedPort.load();
    Port.Open(run_port_);
    PanelIdentity identity;
    const LinkResult read = Requests.ReadMemory(kIdentityAddress, identity.Bytes.data(), kIdentityLength);
    Port.Close();
    if (read.failed()) {
        found.ReadFailure = read.text();
        return found;
    }
    found.Identity = identity.Bytes;
    found.Firmware = BuildFirmwareName(identity, window_.SelectorIndex());
    if (!found.Firmware)
        return found;
    Image.SelectFirmwareImage(*found.Firmware);
    found.ImageFound = Image.ImageEnd != 0;
    found.CanStart = found.ImageFound && !RefusesStandIn();
    return found;
}

}  // namespace varnox
