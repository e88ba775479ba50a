#include "modules/DevicePort.h"

#include "gentl/Exceptions.h"
#include "gentl/MsgComposer.h"
#include "gentl/Platform.h"
#include "modules/Device.h"
#include "resources/ResourceTable.h"

namespace GenTL {

const std::string CDevicePort::m_str_file_name = "KVDEV.xml";

namespace {

const PortProfile kRemotePort{kFileNameRemoteDevice,
                           kResourceRemoteDevice,
                           kResourceTypeRemoteDevice,
                           kDescriptionAddressRemoteDevice,
                           2,
                           URLCopy::Writer,
                           {nullptr, nullptr},
                           false,
                           "Specified iURLIndex is invalid: iURLIndex = 0x%p.",
                           "Specified iCmd is invalid: iCmd = 0x%p."};

enum RemoteRegister : uint64_t {
    kRegVendorName = 0x000,
    kRegModelName = 0x020,
    kRegManufacturerInfo = 0x040,
    kRegVersion = 0x060,
    kRegSerialNumber = 0x080,
    kRegUserName = 0x090,
    kRegAcquisition = 0x100,
    kRegWidth = 0x104,
    kRegHeight = 0x108,
    kRegPixelFormat = 0x10C,
    kRegPayloadSize = 0x114,
    kRegSetting4 = 0x118,
    kRegSetting5 = 0x11C,
    kRegTriggerMode = 0x120,
    kRegTriggerSoftware = 0x124,
    kRegTriggerSource = 0x128,
    kRegSFNCVersionMajor = 0x200,
    kRegSFNCVersionMinor = 0x210,
    kRegEventNotification = 0x300,
    kRegTestEventTarget = 0x310,
    kRegChunkModeActive = 0x320,
};

constexpr uint32_t kMono8 = 0x01080001;
constexpr uint32_t kAcquisitionStart = 1;
constexpr uint32_t kAcquisitionStop = 2;
constexpr int64_t kTestEventID = 2345;
constexpr uint32_t kMinSize = 8;
constexpr uint32_t kMaxSize = 4096;
constexpr uint32_t kSizeStep = 4;

// The camera parameter behind a register, and whether a read refreshes the register from it.
struct CameraRegister {
    uint64_t address;
    int32_t parameter;
    bool refreshed;
};

constexpr CameraRegister kCameraRegisters[] = {
    {kRegWidth, Quibbon::kParamWidth, true},
    {kRegHeight, Quibbon::kParamHeight, true},
    {kRegPayloadSize, Quibbon::kParamPayloadSize, true},
    {kRegSetting4, Quibbon::kParamFrameRate, true},
    {kRegSetting5, Quibbon::kParamTestPattern, true},
    {kRegTriggerMode, Quibbon::kParamTriggerMode, true},
    {kRegTriggerSoftware, Quibbon::kParamSoftwareTrigger, true},
    {kRegTriggerSource, Quibbon::kParamTriggerSource, true},
    {kRegEventNotification, Quibbon::kParamEventNotification, false},
    {kRegTestEventTarget, Quibbon::kParamRemoteEventTrigger, false},
    {kRegChunkModeActive, Quibbon::kParamChunkMode, false},
};

const CameraRegister* FindCameraRegister(uint64_t iAddress) {
    for (const CameraRegister& entry : kCameraRegisters) {
        if (entry.address == iAddress) {
            return &entry;
        }
    }
    return nullptr;
}

// Numeric camera parameters are 32-bit; the size names the value for the numbered settings only.
uint64_t WriteSize(int32_t iParameter) {
    switch (iParameter) {
        case Quibbon::kParamWidth:
        case Quibbon::kParamHeight:
        case Quibbon::kParamFrameRate:
        case Quibbon::kParamTestPattern: return 4;
        default: return 0;
    }
}

bool ReadParameter(Quibbon::IDevice* pComponent, int32_t iParameter, uint32_t& iValue) {
    uint64_t size = sizeof iValue;
    return pComponent != nullptr && pComponent->GetParameter(iParameter, &iValue, &size) >= 0;
}

void WriteParameter(Quibbon::IDevice* pComponent, int32_t iParameter, uint32_t iValue) {
    uint64_t size = WriteSize(iParameter);
    if (pComponent != nullptr) {
        pComponent->SetParameter(iParameter, &iValue, &size);
    }
}

}  // namespace

CDevicePort::CDevicePort(const std::shared_ptr<CDevice>& spDevice, std::shared_ptr<CEventGenApiEvent> spEventRemote)
    : CPortModule(kRemotePort), CRemotePort(spDevice, std::move(spEventRemote)) {
    InitPort();
    LoadCameraValues(*spDevice);
}

CDevicePort::~CDevicePort() = default;

void CDevicePort::InitPort() {
    CRegisterMap& map = Map();
    void* const self = this;
    map.AddRegs(kRegVendorName, CRegisterMap::RO, "EMVA_D", 32);
    map.AddRegs(kRegModelName, CRegisterMap::RO, "Quarvo", 32);
    map.AddRegs(kRegManufacturerInfo, CRegisterMap::RO, "", 32);
    map.AddRegs(kRegVersion, CRegisterMap::RO, "1.2.3", 32);
    map.AddRegs(kRegSerialNumber, CRegisterMap::RO, "12345", 16);
    map.AddRegs(kRegUserName, CRegisterMap::RW, "Username", 16);
    map.AddRegs(kRegSFNCVersionMajor, CRegisterMap::RO, "1", 16);
    map.AddRegs(kRegSFNCVersionMinor, CRegisterMap::RO, "5", 16);
    const auto add = [&](uint64_t address, CRegisterMap::ACCESS access, uint32_t value, bool saveable) {
        map.AddReg(address, access, value, saveable, &RegCB_AccessWrite, self, &RegCB_AccessRead);
    };
    add(kRegAcquisition, CRegisterMap::RW, 0, false);
    add(kRegWidth, CRegisterMap::RW, 0, true);
    add(kRegHeight, CRegisterMap::RW, 0, true);
    map.AddReg(kRegPixelFormat, CRegisterMap::RW, kMono8);
    add(kRegPayloadSize, CRegisterMap::RO, 0, false);
    add(kRegSetting4, CRegisterMap::RW, 0, true);
    add(kRegSetting5, CRegisterMap::RW, 0, true);
    add(kRegTriggerMode, CRegisterMap::RW, 0, true);
    add(kRegTriggerSource, CRegisterMap::RW, 0, true);
    add(kRegTriggerSoftware, CRegisterMap::RW, 0, false);
    add(kRegChunkModeActive, CRegisterMap::RW, 0, true);
    add(kRegEventNotification, CRegisterMap::RW, 0, true);
    add(kRegTestEventTarget, CRegisterMap::RW, 0, true);
    AddDescription();
}

void CDevicePort::LoadCameraValues(CDevice& device) {
    const struct {
        uint64_t address;
        int32_t parameter;
    } initial[] = {{kRegWidth, Quibbon::kParamWidth},
                   {kRegHeight, Quibbon::kParamHeight},
                   {kRegPixelFormat, Quibbon::kParamPixelFormat},
                   {kRegPayloadSize, Quibbon::kParamPayloadSize}};
    for (const auto& entry : initial) {
        uint32_t value = 0;
        if (ReadParameter(device.GetComponent(), entry.parameter, value)) {
            Map().SetReg(entry.address, value);
        }
    }
}

PortInfoTexts CDevicePort::GetPortInfoTexts() {
    return {"bla", "EMVA_P", "QuarvoDev", "Custom", "Device", "1.0", "Device"};
}

ICommonBase* CDevicePort::GetParent() { return GetDevice(); }

uint32_t CDevicePort::GetPayloadSize() {
    uint32_t value = 0;
    ReadReg(kRegPayloadSize, value);
    return value;
}

void CDevicePort::RegCB_AccessRead(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    static_cast<CDevicePort*>(pContext)->RefreshFromCamera(iAddress, iValue);
}

void CDevicePort::RegCB_AccessWrite(uint64_t iAddress, uint32_t& iValue, void* pContext) {
    static_cast<CDevicePort*>(pContext)->WriteToCamera(iAddress, iValue);
}

void CDevicePort::RefreshFromCamera(uint64_t iAddress, uint32_t& iValue) {
    if (iAddress == kRegAcquisition) {
        iValue = 0;
        return;
    }
    const CameraRegister* entry = FindCameraRegister(iAddress);
    if (entry == nullptr || !entry->refreshed) {
        return;
    }
    uint32_t value = 0;
    if (ReadParameter(LockDevice()->GetComponent(), entry->parameter, value)) {
        iValue = value;
    }
}

void CDevicePort::WriteToCamera(uint64_t iAddress, uint32_t iValue) {
    if (iAddress == kRegAcquisition) {
        ControlAcquisition(*LockDevice(), iValue);
        return;
    }
    const CameraRegister* entry = FindCameraRegister(iAddress);
    if (entry == nullptr) {
        return;
    }
    if ((iAddress == kRegWidth || iAddress == kRegHeight) &&
        (iValue < kMinSize || iValue > kMaxSize || iValue % kSizeStep != 0)) {
        throw invalid_value_exception(
            MsgComposer("Requested value %d is not valid to write.", static_cast<int>(iValue)));
    }
    const std::shared_ptr<CDevice> device = LockDevice();
    WriteParameter(device->GetComponent(), entry->parameter, iValue);
    if (iAddress == kRegTestEventTarget) {
        RaiseTestEvent(*device);
    }
}

void CDevicePort::ControlAcquisition(CDevice& device, uint32_t iCommand) {
    Quibbon::IDataStream* stream = nullptr;
    if (device.GetComponent() == nullptr || device.GetComponent()->OpenDataStream(0, &stream) < 0 ||
        stream == nullptr) {
        return;
    }
    if (iCommand == kAcquisitionStart) {
        stream->StartAcquisition(0, -1);
    } else if (iCommand == kAcquisitionStop) {
        stream->StopAcquisition(0, 1);
    }
    stream->Release();
}

void CDevicePort::RaiseTestEvent(CDevice& device) {
    uint32_t notification = 0;
    if (!ReadParameter(device.GetComponent(), Quibbon::kParamEventNotification, notification) || notification == 0) {
        return;
    }
    const uint32_t stamp = static_cast<uint32_t>(GetTimeStamp());
    PushEventRemoteDevice(kTestEventID, &stamp, sizeof stamp);
}

void CDevicePort::Register(EVENT_TYPE iEventID, EVENT_HANDLE* /*phEvent*/) { RefuseEvent(iEventID); }

void CDevicePort::Unregister(EVENT_TYPE iEventID) { RefuseEvent(iEventID); }

}  // namespace GenTL
