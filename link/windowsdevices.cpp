// The Windows layer of device discovery: SetupAPI lists the present devices of a class and the
// registry supplies their raw attributes. Plain Win32 and standard C++ only; what the data means
// is decided by the shared discovery logic.

#include "link/windowsdevices.h"

#include <windows.h>

#include <setupapi.h>

namespace WindowsDevices {
namespace {

// In search order: ports (serial and parallel), a further serial class, modems, two further
// serial classes, and the USB device interface, passed as a class like the others.
const GUID deviceClassGuids[deviceClassCount] = {
    {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},
    {0xDF799E12, 0x3C56, 0x421B, {0xB2, 0x98, 0xB6, 0xD3, 0x64, 0x2B, 0xC8, 0x78}},
    {0x4D36E96D, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}},
    {0xCC0EF009, 0xB820, 0x42F4, {0x95, 0xA9, 0x9B, 0xFA, 0x6A, 0x5A, 0xB7, 0xAB}},
    {0x9341CD95, 0x4371, 0x4A37, {0xA5, 0xAF, 0xFD, 0xB0, 0xA9, 0xD1, 0x96, 0x31}},
    {0xA5DCBF10, 0x6530, 0x11D2, {0x90, 0x1F, 0x00, 0xC0, 0x4F, 0xB9, 0x51, 0xED}},
};

// Value names and data larger than this are not port names; their read fails and ends the
// enumeration.
constexpr DWORD registryBufferBytes = 16384;

std::vector<RegistryValue> readHardwareKeyValues(HDEVINFO set, SP_DEVINFO_DATA &device)
{
    std::vector<RegistryValue> values;
    const HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == reinterpret_cast<HKEY>(INVALID_HANDLE_VALUE) || key == nullptr)
        return values;

    std::vector<wchar_t> name(registryBufferBytes / sizeof(wchar_t), L'\0');
    std::vector<BYTE> data(registryBufferBytes, 0);
    for (DWORD index = 0;; ++index) {
        DWORD nameUnits = DWORD(name.size());
        DWORD dataBytes = DWORD(data.size());
        DWORD type = 0;
        if (RegEnumValueW(key, index, name.data(), &nameUnits, nullptr, &type, data.data(),
                          &dataBytes)
            != ERROR_SUCCESS)
            break;
        RegistryValue value;
        value.name.assign(name.begin(), name.begin() + nameUnits);
        value.type = type;
        value.data.assign(data.begin(), data.begin() + dataBytes);
        values.push_back(std::move(value));
    }
    RegCloseKey(key);
    return values;
}

RegistryProperty readProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    RegistryProperty result;
    DWORD type = 0;
    DWORD size = 0;
    // Asks for the size only; this call fails by design when the buffer is missing.
    SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, nullptr, 0, &size);
    std::vector<BYTE> buffer(size, 0);
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, buffer.data(), size,
                                           nullptr))
        return result;
    result.read = true;
    result.type = type;
    result.data.assign(buffer.begin(), buffer.end());
    return result;
}

} // namespace

std::optional<std::vector<DeviceRecord>> listClassDevices(int classIndex)
{
    if (classIndex < 0 || classIndex >= deviceClassCount)
        return std::nullopt;
    const HDEVINFO set
        = SetupDiGetClassDevsW(&deviceClassGuids[classIndex], nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return std::nullopt;

    std::vector<DeviceRecord> devices;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        DeviceRecord record;
        record.hardwareKeyValues = readHardwareKeyValues(set, device);
        record.hardwareIds = readProperty(set, device, SPDRP_HARDWAREID);
        record.friendlyName = readProperty(set, device, SPDRP_FRIENDLYNAME);
        devices.push_back(std::move(record));
    }
    SetupDiDestroyDeviceInfoList(set);
    return devices;
}

} // namespace WindowsDevices
