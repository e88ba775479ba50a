#include "consumer/FeatureAccess.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace quarvo {

namespace {

int64_t ParseInteger(const std::string& name, const std::string& text) {
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno == ERANGE) {
        throw UsageError(name + ": '" + text + "' is not an integer");
    }
    return value;
}

double ParseFloat(const std::string& name, const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value)) {
        throw UsageError(name + ": '" + text + "' is not a number");
    }
    return value;
}

bool ParseBoolean(const std::string& name, const std::string& text) {
    for (const char* yes : {"true", "True", "1", "on", "On"}) {
        if (text == yes) {
            return true;
        }
    }
    for (const char* no : {"false", "False", "0", "off", "Off"}) {
        if (text == no) {
            return false;
        }
    }
    throw UsageError(name + ": '" + text + "' is not a boolean (true or false)");
}

template <class Number>
std::string Text(Number value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

}  // namespace

std::string Join(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

std::string KindOf(ArvGcNode* node) {
    if (ARV_IS_GC_CATEGORY(node)) return "Category";
    if (ARV_IS_GC_COMMAND(node)) return "Command";
    if (ARV_IS_GC_ENUMERATION(node)) return "Enumeration";
    if (ARV_IS_GC_BOOLEAN(node)) return "Boolean";
    if (ARV_IS_GC_FLOAT(node)) return "Float";
    if (ARV_IS_GC_INTEGER(node)) return "Integer";
    if (ARV_IS_GC_STRING(node)) return "String";
    if (ARV_IS_GC_REGISTER(node)) return "Register";
    return "Node";
}

bool FeatureAccess::IsRegisterAddress(const std::string& name) { return name.rfind("0x", 0) == 0 || name.rfind("0X", 0) == 0; }

uint32_t FeatureAccess::RegisterAddress(const std::string& name) const {
    const int64_t address = ParseInteger(name, name);
    if (address < 0 || address > 0xFFFFFFFFll || address % 4 != 0) {
        throw UsageError(name + ": a register address is a multiple of 4 below 0x100000000");
    }
    return static_cast<uint32_t>(address);
}

ArvGcFeatureNode* FeatureAccess::Feature(const std::string& name) {
    ArvGcNode* node = m_port.FindNode(name);
    if (node == nullptr || !ARV_IS_GC_FEATURE_NODE(node)) {
        throw GenApiError("unknown feature '" + name + "'");
    }
    return ARV_GC_FEATURE_NODE(node);
}

std::string FeatureAccess::Access(ArvGcFeatureNode* node) {
    GError* error = nullptr;
    const bool implemented = arv_gc_feature_node_is_implemented(node, &error) && error == nullptr;
    g_clear_error(&error);
    if (!implemented) {
        return "NI";
    }
    const bool available = arv_gc_feature_node_is_available(node, &error) && error == nullptr;
    g_clear_error(&error);
    if (!available) {
        return "NA";
    }
    switch (arv_gc_feature_node_get_actual_access_mode(node)) {
        case ARV_GC_ACCESS_MODE_RO:
            return "RO";
        case ARV_GC_ACCESS_MODE_WO:
            return "WO";
        case ARV_GC_ACCESS_MODE_RW:
            return "RW";
        default:
            return "NA";
    }
}

std::string FeatureAccess::Range(const std::string& name, ArvGcNode* node) {
    if (ARV_IS_GC_ENUMERATION(node)) {
        return "{" + Join(m_port.EnumerationEntries(name)) + "}";
    }
    if (ARV_IS_GC_FLOAT(node)) {
        return Text(m_port.FloatMin(name)) + ".." + Text(m_port.FloatMax(name));
    }
    if (ARV_IS_GC_INTEGER(node) && !ARV_IS_GC_BOOLEAN(node)) {
        const int64_t minimum = m_port.IntegerMin(name), maximum = m_port.IntegerMax(name);
        if (minimum == INT64_MIN && maximum == INT64_MAX) {
            return {};  // no range stated
        }
        const int64_t increment = m_port.IntegerIncrement(name);
        return Text(minimum) + ".." + Text(maximum) + (increment > 1 ? " step " + Text(increment) : "");
    }
    return {};
}

FeatureDescription FeatureAccess::Describe(const std::string& name) {
    ArvGcFeatureNode* feature = Feature(name);
    ArvGcNode* node = ARV_GC_NODE(feature);
    FeatureDescription description{name, KindOf(node), {}, Access(feature), {}, {}, {}};
    if (ARV_IS_GC_CATEGORY(node)) {
        for (const GSList* item = arv_gc_category_get_features(ARV_GC_CATEGORY(node)); item; item = item->next) {
            description.children.emplace_back(static_cast<const char*>(item->data));
        }
        return description;
    }
    const char* unit = nullptr;
    if (ARV_IS_GC_FLOAT(node)) {
        unit = arv_gc_float_get_unit(ARV_GC_FLOAT(node));
    } else if (ARV_IS_GC_INTEGER(node) && !ARV_IS_GC_ENUMERATION(node) && !ARV_IS_GC_BOOLEAN(node)) {
        unit = arv_gc_integer_get_unit(ARV_GC_INTEGER(node));
    }
    description.unit = unit != nullptr ? unit : "";
    if (ARV_IS_GC_COMMAND(node) || (description.access != "RO" && description.access != "RW")) {
        return description;
    }
    try {
        description.value = m_port.ValueAsString(name);
        description.range = Range(name, node);
    } catch (const GenApiError& error) {
        description.value = std::string("(error: ") + error.what() + ")";
    }
    return description;
}

std::string FeatureAccess::Get(const std::string& name) {
    if (IsRegisterAddress(name)) {
        guint32 value = 0;
        GError* error = nullptr;
        if (!arv_device_read_register(m_port.Device(), RegisterAddress(name), &value, &error)) {
            const std::string text = error != nullptr ? error->message : "failed";
            g_clear_error(&error);
            throw GenApiError("register " + name + ": " + text);
        }
        return std::to_string(value);
    }
    ArvGcFeatureNode* feature = Feature(name);
    const std::string kind = KindOf(ARV_GC_NODE(feature));
    if (kind == "Category" || kind == "Command") {
        throw GenApiError(name + " is a " + kind + ", which has no value");
    }
    const std::string access = Access(feature);
    if (access != "RO" && access != "RW") {
        throw GenApiError(name + " cannot be read now (access " + access + ")");
    }
    return m_port.ValueAsString(name);
}

void FeatureAccess::RequireWritable(const std::string& name, ArvGcFeatureNode* feature) {
    const std::string access = Access(feature);
    if (access == "RO") {
        throw GenApiError(name + " is read-only");
    }
    if (access != "RW" && access != "WO") {
        throw GenApiError(name + " cannot be written now (access " + access + ")");
    }
}

void FeatureAccess::Set(const std::string& name, const std::string& value) {
    if (IsRegisterAddress(name)) {
        const int64_t number = ParseInteger(name, value);
        if (number < INT32_MIN || number > UINT32_MAX) {
            throw UsageError(name + ": " + value + " does not fit a 32-bit register");
        }
        GError* error = nullptr;
        if (!arv_device_write_register(m_port.Device(), RegisterAddress(name), static_cast<guint32>(number), &error)) {
            const std::string text = error != nullptr ? error->message : "failed";
            g_clear_error(&error);
            throw GenApiError("register " + name + ": " + text);
        }
        return;
    }
    ArvGcFeatureNode* feature = Feature(name);
    ArvGcNode* node = ARV_GC_NODE(feature);
    if (ARV_IS_GC_CATEGORY(node)) {
        throw GenApiError(name + " is a Category, which has no value");
    }
    RequireWritable(name, feature);
    if (value.empty() && !ARV_IS_GC_COMMAND(node) && !ARV_IS_GC_STRING(node)) {
        throw UsageError(name + " needs a value: " + name + "=VALUE");
    }
    if (ARV_IS_GC_COMMAND(node)) {
        if (!value.empty() && value != "1" && value != "Execute") {
            throw UsageError(name + " is a command: give no value, 1 or Execute");
        }
        m_port.Execute(name);
    } else if (ARV_IS_GC_ENUMERATION(node)) {
        SetEnumeration(name, value);
    } else if (ARV_IS_GC_BOOLEAN(node)) {
        m_port.SetBoolean(name, ParseBoolean(name, value));
    } else if (ARV_IS_GC_FLOAT(node)) {
        SetFloat(name, value);
    } else if (ARV_IS_GC_INTEGER(node)) {
        SetInteger(name, value);
    } else if (ARV_IS_GC_STRING(node)) {
        m_port.SetString(name, value);
    } else {
        throw GenApiError(name + " is a " + KindOf(node) + ", which this tool cannot write");
    }
}

void FeatureAccess::SetInteger(const std::string& name, const std::string& value) {
    const int64_t number = ParseInteger(name, value);
    const int64_t minimum = m_port.IntegerMin(name), maximum = m_port.IntegerMax(name);
    const int64_t increment = std::max<int64_t>(1, m_port.IntegerIncrement(name));
    if (number < minimum || number > maximum || (number - minimum) % increment != 0) {
        throw GenApiError(name + " = " + value + " is out of range: " + Text(minimum) + ".." + Text(maximum) +
                          (increment > 1 ? " in steps of " + Text(increment) : ""));
    }
    m_port.SetInteger(name, number);
}

void FeatureAccess::SetFloat(const std::string& name, const std::string& value) {
    const double number = ParseFloat(name, value);
    const double minimum = m_port.FloatMin(name), maximum = m_port.FloatMax(name);
    if (number < minimum || number > maximum) {
        throw GenApiError(name + " = " + value + " is out of range: " + Text(minimum) + ".." + Text(maximum));
    }
    m_port.SetFloat(name, number);
}

void FeatureAccess::SetEnumeration(const std::string& name, const std::string& value) {
    const std::vector<std::string> entries = m_port.EnumerationEntries(name);
    if (std::find(entries.begin(), entries.end(), value) == entries.end()) {
        throw GenApiError(name + " has no entry '" + value + "'; it can be one of " + Join(entries));
    }
    m_port.SetEnumeration(name, value);
}

}  // namespace quarvo
