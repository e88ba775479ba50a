// The exception family of the producer: every internal failure is raised as one of these and the
// exported functions translate it into its GenTL error code.
#pragma once

#include <exception>
#include <stdexcept>
#include <string>

namespace GenTL {

class gentl_exception : public std::exception {
public:
    gentl_exception(int code, const std::string& message) : m_i_code(code), m_str_message(message) {}
    const char* what() const noexcept override { return m_str_message.c_str(); }
    int GetErrorCode() const noexcept { return m_i_code; }

private:
    int m_i_code;
    std::string m_str_message;
};

#define QUARVO_GENTL_EXCEPTION(name, code)                                              \
    class name : public gentl_exception {                                               \
    public:                                                                             \
        explicit name(const std::string& message) : gentl_exception(code, message) {}   \
    };

QUARVO_GENTL_EXCEPTION(error_exception, -1001)
QUARVO_GENTL_EXCEPTION(not_initialized_exception, -1002)
QUARVO_GENTL_EXCEPTION(implementation_exception, -1003)
QUARVO_GENTL_EXCEPTION(resource_in_use_exception, -1004)
QUARVO_GENTL_EXCEPTION(access_denied_exception, -1005)
QUARVO_GENTL_EXCEPTION(access_exception, -1005)
QUARVO_GENTL_EXCEPTION(invalid_handle_exception, -1006)
QUARVO_GENTL_EXCEPTION(invalid_id_exception, -1007)
QUARVO_GENTL_EXCEPTION(invalid_parameter_exception, -1009)
QUARVO_GENTL_EXCEPTION(timeout_exception, -1011)
QUARVO_GENTL_EXCEPTION(abort_exception, -1012)
QUARVO_GENTL_EXCEPTION(invalid_buffer_size_exception, -1013)
QUARVO_GENTL_EXCEPTION(not_available_exception, -1014)
QUARVO_GENTL_EXCEPTION(invalid_address_exception, -1015)
QUARVO_GENTL_EXCEPTION(buffer_too_small_exception, -1016)
QUARVO_GENTL_EXCEPTION(invalid_index_exception, -1017)
QUARVO_GENTL_EXCEPTION(parsing_chunk_data_exception, -1018)
QUARVO_GENTL_EXCEPTION(invalid_value_exception, -1019)
QUARVO_GENTL_EXCEPTION(busy_exception, -1022)

#undef QUARVO_GENTL_EXCEPTION

// A runtime error whose text ends in text the consumer supplied (an identifier). Its code is
// decided by the library's own wording alone, so no identifier can change it.
class runtime_error_with_input : public std::runtime_error {
public:
    runtime_error_with_input(const std::string& wording, const std::string& input)
        : std::runtime_error(wording + input), m_str_wording(wording) {}
    const std::string& Wording() const noexcept { return m_str_wording; }

private:
    std::string m_str_wording;
};

}  // namespace GenTL
