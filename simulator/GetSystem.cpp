// The component's exported functions.
#include "framegrabber/Quibbon.h"
#include "simulator/CopyOut.h"
#include "simulator/SimObjects.h"

extern "C" void GetSystem(Quibbon::ISystem** system) {
    if (system != nullptr) {
        *system = Quibbon::Sim::CreateSharedSystem();
    }
}

extern "C" int32_t QuibbonGetLastError(char* text, uint64_t* size) {
    try {
        const std::string error = Quibbon::Sim::SharedSystemError();
        return error.empty() ? Quibbon::kFailed : Quibbon::Sim::CopyText(error, text, size);
    } catch (...) {
        return Quibbon::kFailed;
    }
}
