// Reading the typed answers of the GenTL information queries (piType / pBuffer / piSize). A
// query is any callable taking (INFO_DATATYPE*, void*, size_t*) and returning GC_ERROR.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "consumer/ProducerLibrary.h"

namespace quarvo {

// A text answer; the size is asked first, so texts of any length come back whole.
template <class Query>
std::string InfoText(const ProducerLibrary& producer, const char* call, Query&& query) {
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    size_t size = 0;
    producer.Check(query(&type, nullptr, &size), call);
    std::vector<char> text(size + 1, '\0');
    producer.Check(query(&type, text.data(), &size), call);
    return text.data();
}

// A fixed-size answer, read into T.
template <class T, class Query>
T InfoValue(const ProducerLibrary& producer, const char* call, Query&& query) {
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    T value{};
    size_t size = sizeof value;
    producer.Check(query(&type, &value, &size), call);
    return value;
}

// A fixed-size answer that a producer need not give: nothing when the query fails.
template <class T, class Query>
std::optional<T> OptionalInfoValue(Query&& query) {
    INFO_DATATYPE type = INFO_DATATYPE_UNKNOWN;
    T value{};
    size_t size = sizeof value;
    if (query(&type, &value, &size) != GC_ERR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

}  // namespace quarvo
