// A Native API add-in library as the platform loads it: the library file, its
// entry functions, the objects it offers.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "native/api/NativeApi.h"

namespace veltra::substitute::native {

class NativeLibrary {
public:
    NativeLibrary() = default;
    ~NativeLibrary();  // Unload
    NativeLibrary(const NativeLibrary&) = delete;
    NativeLibrary& operator=(const NativeLibrary&) = delete;

    // Loads the library at `path` (UTF-8; a bare file name is looked up as
    // the system looks up libraries), resolves its entry functions and tells
    // it the platform's capabilities (SetPlatformCapabilities with the
    // latest, once), as the platform does. GetAttachType may be absent; the
    // other four must be there. False, with Error() naming the file or the
    // entry function and giving the system's text, when that fails.
    bool Load(const std::string& path);
    // Every object made here must be destroyed before.
    void Unload();
    bool Loaded() const { return handle_ != nullptr; }
    const std::string& Error() const { return error_; }

    // GetClassNames as it answered, and split at "|".
    std::u16string ClassNamesText() const;
    std::vector<std::u16string> ClassNames() const;
    // What SetPlatformCapabilities answered.
    AppCapabilities Capabilities() const { return capabilities_; }
    // GetAttachType's answer; none when the library does not export it.
    std::optional<AttachType> AttachKind() const;

    // GetClassObject: null when the library made no object.
    IComponentBase* CreateObject(const std::u16string& name);
    // DestroyObject: its answer (0 when done).
    long DestroyObject(IComponentBase* object);

private:
    void* handle_ = nullptr;
    std::string error_;
    GetClassNamesFunction getClassNames_ = nullptr;
    GetClassObjectFunction getClassObject_ = nullptr;
    DestroyObjectFunction destroyObject_ = nullptr;
    GetAttachTypeFunction getAttachType_ = nullptr;
    AppCapabilities capabilities_ = eAppCapabilitiesInvalid;
};

}  // namespace veltra::substitute::native
