// libFuzzer target for reading the port list from sysfs, on a fake tree in a
// temporary folder that the input builds: up to four ttys, each with no
// device, an on-board one or one under a USB device (shared by several ttys
// at times), with fuzzed attribute files (idVendor, idProduct, serial,
// manufacturer, product, a ttyS's type), some longer than a page, some with
// newlines, NULs or control bytes. Every listed field must be one line of at
// most a page; a port's identity must lead back to a tty of that identity.

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "comm/linux/adapter_identity.h"
#include "comm/port_list.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

namespace fs = std::filesystem;
using varnox::fuzz::Expect;
using varnox::fuzz::FuzzInput;

const char* const kTtyNames[] = {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "ttyS1"};
const char* const kUsbDevices[] = {"1-1", "1-1.2", "2-3"};
const char* const kAttributes[] = {"idVendor", "idProduct", "serial", "manufacturer", "product"};

const fs::path& Root()
{
    static const fs::path root = [] {
        const fs::path made = fs::temp_directory_path() / ("varnox-fuzz-sysfs-" + std::to_string(::getpid()));
        std::atexit([] { fs::remove_all(Root()); });
        return made;
    }();
    return root;
}

// An attribute's bytes: short mostly, at times longer than a page.
std::string Attribute(FuzzInput& in)
{
    const std::size_t length = in.Flag() ? std::size_t{in.Byte()} * 64 : in.Below(24);
    const std::vector<uint8_t> bytes = in.Bytes(length);
    return std::string(bytes.begin(), bytes.end());
}

void Write(const fs::path& file, const std::string& bytes)
{
    std::ofstream(file, std::ios::binary) << bytes;
}

void OneLine(const std::string& field, const char* what)
{
    Expect(field.size() <= varnox::kSysfsAttributeLimit, std::string(what) + " longer than a page");
    Expect(field.find('\n') == std::string::npos, std::string(what) + " holds a newline");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    FuzzInput in(data, size);
    const fs::path& root = Root();
    fs::remove_all(root);
    const fs::path tty_class = root / "class" / "tty";
    fs::create_directories(tty_class);
    fs::create_directories(root / "dev");
    const unsigned ttys = 1 + in.Below(4);
    for (unsigned i = 0; i < ttys; ++i) {
        const std::string name = kTtyNames[in.Below(5)];
        if (fs::exists(tty_class / name))
            continue;
        fs::create_directories(tty_class / name);
        if (name.rfind("ttyS", 0) == 0)
            Write(tty_class / name / "type", Attribute(in));
        fs::path device;
        switch (in.Below(3)) {
        case 0: continue;  // no device behind it
        case 1: device = root / "devices" / "platform" / "serial8250" / name; break;
        default: {
            const fs::path usb = root / "devices" / "usb1" / kUsbDevices[in.Below(3)];
            fs::create_directories(usb);
            for (const char* attribute : kAttributes) {
                if (in.Flag())
                    Write(usb / attribute, Attribute(in));
            }
            device = usb / (usb.filename().string() + ":1." + std::to_string(i)) / name;
        }
        }
        fs::create_directories(device);
        fs::create_directories(root / "drivers" / "ftdi_sio");
        if (in.Flag())
            fs::create_directory_symlink(root / "drivers" / "ftdi_sio", device / "driver");
        fs::create_directory_symlink(device, tty_class / name / "device");
    }

    const varnox::TtySources sources{tty_class.string(), (root / "dev").string()};
    for (const varnox::PortInfo& port : varnox::ListPorts(sources)) {
        for (const std::string* field : {&port.Maker, &port.Product, &port.Serial})
            OneLine(*field, "a listed field");
        Expect(port.UsbId.find('\n') == std::string::npos, "the USB id holds a newline");
        const std::string identity = varnox::AdapterIdentity(port.Device, sources);
        Expect(identity.empty() == port.UsbId.empty(), "an identity without a USB id, or the reverse");
        if (identity.empty())
            continue;
        if (!port.Serial.empty())
            Expect(identity == "usb:" + port.UsbId + ":" + port.Serial,
                   "identity " + identity + " is not the listing's");
        const std::string found = varnox::FindAdapter(identity, sources);
        Expect(!found.empty() && varnox::AdapterIdentity(found, sources) == identity,
               "identity " + identity + " leads to '" + found + "'");
    }
    return 0;
}
