// zul-cli ports: COM1 to COM10 with the device each opens, and the serial
// devices of the machine that no COM number names yet.
#include <cstdio>
#include <iostream>

#include "cli/command.h"
#include "ui/ports/com_port_selection.h"
#include "serial/serial_devices.h"

namespace zul::cli {
namespace {

void SetupPorts(CLI::App& app, Context& context) {
    auto* cmd = app.add_subcommand("ports", "List COM1 to COM10 with their devices, and unnamed serial devices");
    cmd->callback([&context] {
        context.Start();
        std::vector<std::string> named;
        for (int n = 1; n <= SelectComPortChoice::kPortCount; ++n) {
            const std::string device = PortDeviceName(n);
            named.push_back(device);
            char line[400];
            std::snprintf(line, sizeof line, "COM%-3d %-28s %s", n, device.c_str(),
                          SerialDeviceExists(device) ? "present" : "missing");
            std::cout << line << "\n";
        }
        std::vector<std::string> others;
        for (const std::string& device : ListSerialDevices()) {
            bool isNamed = false;
            for (const std::string& name : named) isNamed = isNamed || SameSerialDevice(device, name);
            if (!isNamed) others.push_back(device);
        }
        if (others.empty()) {
            std::cout << "No other serial devices found.\n";
        } else {
            std::cout << "Other serial devices (" << UnnamedDeviceAdvice(others.front()) << "):\n";
            for (const std::string& device : others) std::cout << "  " << device << "\n";
        }
        context.exitCode = 0;
    });
}

}  // namespace

ZUL_REGISTER_COMMAND("ports", SetupPorts);

}  // namespace zul::cli
