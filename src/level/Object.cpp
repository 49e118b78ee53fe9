#include "level/Object.h"

#include "core/Error.h"

namespace rdv {

namespace {
const char* const kAssignSource = "Engine->LoadLevel->ReadLevelFile->AssignProperty->";
}

void LevelObject::AssignVar(const std::string& key, const std::string& value) {
    (void)value;
    RaiseInvalidProperty(ClassName(), HeaderName(), key);
}

std::string PropertySource(const std::string& className) {
    return std::string(kAssignSource) + className + ".AssignVar";
}

void RaiseInvalidProperty(const std::string& className, const std::string& headerName, const std::string& key) {
    RaiseError(ErrFormat, PropertySource(className), "Invalid property for '" + headerName + "': " + key);
}

void RaiseInvalidValue(const std::string& className, const std::string& headerName, const std::string& key,
                       const std::string& rule, const std::string& value) {
    RaiseError(ErrFormat, PropertySource(className),
               "Invalid property value for '" + headerName + "." + key + "', must be " + rule + ": " + value);
}

void RaisePropertyError(const std::string& className, const std::string& description) {
    RaiseError(ErrFormat, PropertySource(className), description);
}

bool ParseLevelBool(const std::string& value, bool& ok) {
    ok = true;
    if (value == "true" || value == "1") return true;
    if (value == "false" || value == "0") return false;
    ok = false;
    return false;
}

} // namespace rdv
