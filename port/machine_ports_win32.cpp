// Windows: the parallel ports of SetupAPI's Ports class, each with the
// first I/O range it was given, and the administrator's setting, a value
// under HKLM\SOFTWARE (machine_ports.h). The key's and the value's names,
// and the installer's switch that writes it, come from the build
// (CMakeLists.txt), which gives the installer the same.
#include <windows.h>

// After windows.h, whose types they take.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstring>
#include <vector>

#include "common/windows_text.h"
#include "port/machine_ports.h"

namespace quorvane {

namespace {

// The Ports (COM & LPT) device class.
const GUID kPortsClass = {0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

constexpr wchar_t kSettingKey[] = L"SOFTWARE\\" QUORVANE_SETTINGS_KEY_NAME;
constexpr wchar_t kSettingValue[] = L"" QUORVANE_PORT_SETTING_VALUE;
// For messages.
constexpr char kSettingPlace[] = "HKLM\\SOFTWARE\\" QUORVANE_SETTINGS_KEY_NAME;

std::wstring RegistryText(HKEY key, const wchar_t* name) {
  wchar_t text[64] = {};
  DWORD size = sizeof text - sizeof(wchar_t);
  DWORD type = 0;
  if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  return text;
}

// The first I/O range of the device's configuration: its allocated one, or
// the one firmware set at boot; 0 when it has none.
std::uint16_t FirstIoBase(DEVINST device) {
  for (const ULONG kind : {ALLOC_LOG_CONF, BOOT_LOG_CONF}) {
    LOG_CONF config = 0;
    if (CM_Get_First_Log_Conf(&config, device, kind) != CR_SUCCESS) continue;
    RES_DES range = 0;
    std::uint16_t base = 0;
    if (CM_Get_Next_Res_Des(&range, config, ResType_IO, nullptr, 0) == CR_SUCCESS) {
      IO_DES io{};
      if (CM_Get_Res_Des_Data(range, &io, sizeof io, 0) == CR_SUCCESS && io.IOD_Alloc_Base <= 0xffff)
        base = static_cast<std::uint16_t>(io.IOD_Alloc_Base);
      CM_Free_Res_Des_Handle(range);
    }
    CM_Free_Log_Conf_Handle(config);
    if (base != 0) return base;
  }
  return 0;
}

}  // namespace

port_choice::MachinePorts ListMachinePorts() {
  port_choice::MachinePorts machine;
  machine.noneHint = "Device Manager shows them under Ports (COM & LPT)";
  const HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
  if (devices != INVALID_HANDLE_VALUE) {
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(devices, i, &device); ++i) {
      const HKEY key =
          SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
      if (key == INVALID_HANDLE_VALUE) continue;
      const std::wstring name = RegistryText(key, L"PortName");
      RegCloseKey(key);
      // The serial ports share the class.
      if (name.rfind(L"LPT", 0) != 0) continue;
      const std::uint16_t base = FirstIoBase(device.DevInst);
      if (base == 0) continue;
      wchar_t service[64] = {};
      SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_SERVICE, nullptr,
                                        reinterpret_cast<BYTE*>(service), sizeof service - sizeof(wchar_t),
                                        nullptr);
      machine.ports.push_back({win32::Utf8(name), base, win32::Utf8(service), {}});
    }
    SetupDiDestroyDeviceInfoList(devices);
  }
  // inpout32 reaches any I/O port, listed or not: a Windows that lists no
  // parallel port (Wine lists none) proves none absent.
  machine.known = !machine.ports.empty();
  return machine;
}

port_choice::Setting ReadPortSetting() {
  port_choice::Setting setting;
  setting.where = std::string(kSettingPlace) + "\\" + QUORVANE_PORT_SETTING_VALUE;
  setting.how = "choose one with the installer (or its " QUORVANE_PORT_SWITCH
                "%s when silent), which sets " QUORVANE_PORT_SETTING_VALUE " under " +
                std::string(kSettingPlace);
  setting.byName = false;
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSettingKey, 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return setting;
  if (status != ERROR_SUCCESS) {
    setting.unusable = win32::SystemErrorText(static_cast<unsigned long>(status));
    return setting;
  }
  std::vector<BYTE> data(256);
  DWORD size = static_cast<DWORD>(data.size() - sizeof(wchar_t));
  DWORD type = 0;
  status = RegQueryValueExW(key, kSettingValue, nullptr, &type, data.data(), &size);
  RegCloseKey(key);
  if (status == ERROR_FILE_NOT_FOUND) return setting;
  if (status != ERROR_SUCCESS) {
    setting.unusable = win32::SystemErrorText(static_cast<unsigned long>(status));
  } else if (type == REG_DWORD && size == sizeof(DWORD)) {
    DWORD value = 0;
    std::memcpy(&value, data.data(), sizeof value);
    setting.value = std::to_string(value);
  } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
    setting.value = win32::Utf8(reinterpret_cast<const wchar_t*>(data.data()));
  } else {
    setting.unusable = "it is neither a text (REG_SZ) nor a number (REG_DWORD)";
  }
  return setting;
}

}  // namespace quorvane
