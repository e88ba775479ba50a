// The SFNC camera "Sfnc" of a rig file, opened through the producer with Aravis evaluating its
// document, and acquisitions started and stopped as an application does.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "genapi/GenApiTesting.h"
#include "support/OpenStream.h"
#include "support/RigFileEnv.h"

namespace quarvo_test {

class SfncFixture : public OpenStream {
protected:
    explicit SfncFixture(const char* rigText) : m_rig_text(rigText) {}

    void SetUp() override {
        rig = std::make_unique<RigFile>(m_rig_text);
        OpenSystem::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        Open(0, "Sfnc");
        camera = std::make_unique<GenApiPort>(lib, remote);
    }

    // Starts the stream with count buffers of size bytes (the camera's payload size when 0)
    // queued, then the camera.
    void Start(size_t count, size_t size = 0) {
        buffers = AnnounceAndQueue(count, size != 0 ? size : static_cast<size_t>(camera->Integer("PayloadSize")));
        ASSERT_EQ(GC_ERR_SUCCESS, lib.DSStartAcquisition(stream, ACQ_START_FLAGS_DEFAULT, GENTL_INFINITE))
            << lib.Error().text;
        camera->Execute("AcquisitionStart");
    }

    // Stops the camera and the stream and revokes the stream's buffers.
    void Stop() {
        camera->Execute("AcquisitionStop");
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSStopAcquisition(stream, ACQ_STOP_FLAGS_DEFAULT)) << lib.Error().text;
        EXPECT_EQ(GC_ERR_SUCCESS, lib.DSFlushQueue(stream, ACQ_QUEUE_ALL_DISCARD));
        for (BUFFER_HANDLE buffer : buffers) {
            EXPECT_EQ(GC_ERR_SUCCESS, lib.DSRevokeBuffer(stream, buffer, nullptr, nullptr)) << lib.Error().text;
        }
        buffers.clear();
    }

    std::unique_ptr<RigFile> rig;
    std::unique_ptr<GenApiPort> camera;
    std::vector<BUFFER_HANDLE> buffers;

private:
    const char* m_rig_text;
};

}  // namespace quarvo_test
