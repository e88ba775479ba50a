#include <gtest/gtest.h>

#include "gentl/Exceptions.h"
#include "gentl/controller/LibraryController.h"

using namespace GenTL;

namespace {

TEST(LibraryController, AddInterfaceTwiceReportsTheFirstHandle) {
    CLibraryController controller;
    int first = 0, second = 0;
    void* handle = &first;
    EXPECT_EQ(0, controller.AddInterface("QB::Board0", &handle));
    handle = &second;
    EXPECT_EQ(-1004, controller.AddInterface("QB::Board0", &handle));
    EXPECT_EQ(&first, handle);
    EXPECT_TRUE(controller.FindInterface(&first));
    EXPECT_FALSE(controller.FindInterface(&second));
    controller.RemoveInterface(&first);
    EXPECT_EQ(0u, controller.GetNumberOpenInterfaces());
}

TEST(LibraryController, RemoveDataStreamRemovesEveryEntryOfThatStream) {
    CLibraryController controller;
    int device = 0, stream = 0, other = 0;
    controller.AddDataStream(&device, &stream);
    controller.AddDataStream(&device, &stream);
    controller.AddDataStream(&device, &other);
    void* found = nullptr;
    EXPECT_TRUE(controller.FindDataStreamHandle(&stream, &found));
    EXPECT_EQ(&device, found);
    controller.RemoveDataStream(&stream);
    EXPECT_FALSE(controller.FindDataStreamHandle(&stream, nullptr));
    EXPECT_EQ(1u, controller.GetTotalNumberOpenStreams());
}

TEST(LibraryController, AnnouncedBuffersMatchOnMemoryHandleAndSize) {
    CLibraryController controller;
    int stream = 0, buffer = 0;
    char memory[16];
    S_Announced_Buffer_Information info{&buffer, memory, nullptr, sizeof memory};
    controller.AddAnnouncedBuffer(&stream, info);
    S_Announced_Buffer_Information query = info;
    query.p_user = &stream;  // the user pointer is not compared
    EXPECT_TRUE(controller.FindAnnouncedBuffer(&stream, query));
    query.i_size = 8;
    EXPECT_FALSE(controller.FindAnnouncedBuffer(&stream, query));
    controller.RemoveAnnouncedBuffer(&stream, info);
    EXPECT_EQ(0u, controller.GetNumberAnnouncedBuffers());
}

TEST(LibraryController, GuardsAndCloseLibFollowTheLibraryState) {
    CLibraryController controller;
    EXPECT_EQ(-1002, controller.Check_SetupInitialized());
    controller.InitLib();
    EXPECT_EQ(0, controller.Check_SetupInitialized());
    EXPECT_EQ(-1006, controller.Check_Setup_And_Transport_Initialized());
    controller.CloseLib();
    EXPECT_FALSE(controller.IsInitialized());
    EXPECT_EQ(-1002, controller.Check_Setup_And_Transport_Initialized_With_Open_Interface());
}

TEST(LibraryController, ReadOnlyCheckRefusesANullPort) {
    CLibraryController controller;
    EXPECT_THROW(controller.CheckReadOnlyMode(nullptr), invalid_handle_exception);
}

}  // namespace
