#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "events/EventGenApiEvent.h"
#include "framegrabber/Quibbon.h"
#include "modules/CommonBase.h"
#include "modules/PortAnswers.h"
#include "modules/RemotePort.h"

namespace GenTL {

class CDevice;

// The remote device port of a camera that describes itself: the camera owns its register space
// and the GenApi document in it, so every access goes to the camera unchanged and the port keeps
// no register of its own. It serves the URL the camera gives and turns the camera's refusals into
// GenTL errors carrying the camera's reason. The events such a camera raises become the device's
// remote-device events, kept in a queue of bounded length.
class CCameraPort : public ICommonBase, public CRemotePort {
public:
    // Whether the frame grabber's device object answers kParamSelfDescribing with the 32-bit 1.
    static bool DescribesItself(Quibbon::IDevice* pComponent);

    CCameraPort(const std::shared_ptr<CDevice>& spDevice, std::shared_ptr<CEventGenApiEvent> spEventRemote);
    virtual ~CCameraPort();

    ModuleKind Kind() const override { return kKind; }
    ICommonBase* GetParent() override;
    void Register(EVENT_TYPE iEventID, EVENT_HANDLE* phEvent) override;
    void Unregister(EVENT_TYPE iEventID) override;
    ICommonBase& Module() override { return *this; }
    uint32_t GetPayloadSize() override;
    void CollectEvents() override;

    // Remote-device events kept for the consumer; beyond this many the oldest are dropped.
    static constexpr size_t kEventCapacity = 1024;

    uint64_t ReadData(uint64_t iAddress, void* pBuffer, uint64_t* piSize) override;
    uint64_t WriteData(uint64_t iAddress, const void* pBuffer, uint64_t* piSize) override;
    uint32_t ReadReg(uint64_t iAddress, uint32_t& iValue) override;
    void WriteReg(uint64_t iAddress, uint32_t iValue) override;
    void GetURL(char* sURL, uint64_t* piSize) override;
    void GetPortInfo(PORT_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer, size_t* piSize) override;
    void GetNumPortURLs(uint32_t* piNumURLs) override;
    void GetPortURLInfo(uint32_t iURLIndex, URL_INFO_CMD iInfoCmd, INFO_DATATYPE* piType, void* pBuffer,
                        size_t* piSize) override;

private:
    // A text parameter of the camera; empty when the camera has none.
    std::string ReadCameraText(int32_t iParameter, uint64_t iBufferSize) const;
    // The camera's description URL taken apart; raises not_available_exception when the camera
    // gives none that names a place in its register space.
    URLInfoValues GetURLInfoValues() const;

    const bool m_b_camera_events;  // the camera raises events (kParamCameraEvents)
    std::mutex m_mutex_events;     // collections follow one another, so events keep their order
};

}  // namespace GenTL
