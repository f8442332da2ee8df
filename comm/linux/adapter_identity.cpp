#include "comm/linux/adapter_identity.h"

#include <filesystem>
#include <system_error>

#include "core/file_head.h"

namespace varnox {

namespace fs = std::filesystem;

namespace {

// The identity of the tty named `name` in sysfs.
std::string IdentityOfTty(const std::string& name, const TtySources& sources)
{
    const std::string usb = UsbParentOf(name, sources);
    if (usb.empty())
        return {};
    const fs::path at(usb);
    const std::string model = SysfsLine(at / "idVendor") + ":" + SysfsLine(at / "idProduct");
    const std::string serial = SysfsLine(at / "serial");
    if (serial.empty())
        return "usb-port:" + model + ":" + at.filename().string();
    return "usb:" + model + ":" + serial;
}

}  // namespace

std::string SysfsLine(const std::string& file)
{
    // Links followed: sysfs is made of them. A FIFO in a tree that is not sysfs
    // must not hold us, nor a huge file fill our memory.
    const FileHead head = ReadFileHead(file, kSysfsAttributeLimit, Links::Follow);
    return head.Bytes.substr(0, head.Bytes.find('\n'));
}

std::string UsbParentOf(const std::string& name, const TtySources& sources)
{
    std::error_code error;
    fs::path at = fs::canonical(fs::path(sources.SysClassTty) / name / "device", error);
    if (error)
        return {};
    // Up from the tty's device to the USB device that carries the descriptors.
    for (int depth = 0; depth < 8 && at.has_relative_path(); ++depth, at = at.parent_path()) {
        if (fs::exists(at / "idVendor", error))
            return at.string();
    }
    return {};
}

std::string AdapterIdentity(const std::string& device_path, const TtySources& sources)
{
    std::error_code error;
    const std::string named = fs::path(device_path).filename().string();
    if (fs::exists(fs::path(sources.SysClassTty) / named, error))
        return IdentityOfTty(named, sources);
    const fs::path target = fs::canonical(device_path, error);
    return error ? std::string() : IdentityOfTty(target.filename().string(), sources);
}

std::string FindAdapter(const std::string& identity, const TtySources& sources)
{
    if (identity.empty())
        return {};
    std::error_code error;
    for (fs::directory_iterator it(sources.SysClassTty, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (IdentityOfTty(name, sources) == identity)
            return (fs::path(sources.Dev) / name).string();
    }
    return {};
}

}  // namespace varnox
