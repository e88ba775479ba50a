// The component's only exported symbol.
#include "framegrabber/Quibbon.h"
#include "simulator/SimObjects.h"

extern "C" void GetSystem(Quibbon::ISystem** system) {
    if (system != nullptr) {
        *system = Quibbon::Sim::CreateSharedSystem();
    }
}
