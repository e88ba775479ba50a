// The consumer library's GenApi port in the tests: an uncaught GenApiError fails a test with the
// feature name and the Aravis message; GenApiErrorOf turns an expected failure into its text.
#pragma once

#include <string>

#include "consumer/GenApiPort.h"

namespace quarvo_test {

using quarvo::GenApiError;
using quarvo::GenApiPort;

// The message of the GenApiError that `action` throws; empty when it throws none.
template <class Action>
std::string GenApiErrorOf(Action&& action) {
    try {
        action();
    } catch (const GenApiError& error) {
        return error.what();
    }
    return {};
}

}  // namespace quarvo_test
