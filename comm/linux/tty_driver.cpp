#include "comm/linux/tty_driver.h"

#include <filesystem>
#include <system_error>

namespace varnox {

namespace fs = std::filesystem;

std::string TtyDriver(const std::string& device_path, const TtySources& sources)
{
    std::error_code error;
    const fs::path tty = fs::canonical(device_path, error);
    if (error)
        return {};
    const fs::path driver =
        fs::canonical(fs::path(sources.SysClassTty) / tty.filename() / "device" / "driver", error);
    return error ? std::string() : driver.filename().string();
}

std::string LineSettingsWarning(const std::string& device_path, const TtySources& sources)
{
    if (TtyDriver(device_path, sources).rfind("ch341", 0) != 0)
        return {};
    return device_path + ": a CH340/CH341 adapter (driver ch341): old CH340 chips may ignore the parity setting";
}

}  // namespace varnox
