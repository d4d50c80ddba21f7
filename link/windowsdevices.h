#pragma once

// Raw device data from the Windows SetupAPI and registry. Standard C++ types only: the Windows
// layer that fills it is plain Win32, so a cross compiler can check it without Qt, and the
// logic that reads it is tested on every platform.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace WindowsDevices {

// Registry value types, as Windows numbers them.
enum RegistryType : std::uint32_t {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegDwordBigEndian = 5,
    RegMultiSz = 7,
};

// One value of a device's hardware registry key.
struct RegistryValue
{
    std::u16string name;
    std::uint32_t type = RegNone;
    std::vector<std::uint8_t> data;
};

// One device registry property; read is false when the system could not supply it.
struct RegistryProperty
{
    bool read = false;
    std::uint32_t type = RegNone;
    std::vector<std::uint8_t> data;
};

// One present device of a searched class.
struct DeviceRecord
{
    // In the key's order, up to the first value that could not be read; empty when the device
    // has no hardware key.
    std::vector<RegistryValue> hardwareKeyValues;
    RegistryProperty hardwareIds;
    RegistryProperty friendlyName;
};

// The searched classes: ports, a further serial class, modems, two further serial classes, and
// USB devices.
constexpr int deviceClassCount = 6;

// The present devices of one class (0 .. deviceClassCount - 1) in the system's order, or
// nothing when the system refuses to list the class. Windows only.
std::optional<std::vector<DeviceRecord>> listClassDevices(int classIndex);

} // namespace WindowsDevices
