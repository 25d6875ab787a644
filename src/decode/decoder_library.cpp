#include "decode/decoder_library.h"

#include <dlfcn.h>

#include <system_error>

namespace kalder {

DecoderLibrary::~DecoderLibrary() {
    dlclose(m_handle);
}

std::unique_ptr<DecoderLibrary> DecoderLibrary::open(const std::filesystem::path& file) {
    // The module, libavcodec and what that loads stay mapped after dlclose until the process
    // ends: libraries that keep allocations in their globals must not be unmapped under them.
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (handle == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<DecoderLibrary>(new DecoderLibrary(handle));
}

std::filesystem::path DecoderLibrary::programFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return {};
    }
    return program.parent_path();
}

std::unique_ptr<DecoderLibrary> DecoderLibrary::openFromProgramFolder() {
    const std::filesystem::path folder = programFolder();
    if (folder.empty()) {
        return nullptr;
    }
    if (std::unique_ptr<DecoderLibrary> beside = open(folder / kFileName))
        return beside;
    // An installed copy keeps the module in its own folder, KALDER_FILES_FROM_PROGRAM_DIR
    // relative to the programs' folder.
    return open((folder / KALDER_FILES_FROM_PROGRAM_DIR / kFileName).lexically_normal());
}

DecoderEntries DecoderLibrary::entries() const {
    DecoderEntries found;
    found.init = reinterpret_cast<PT_H264dec_Init_t>(dlsym(m_handle, kH264InitName));
    found.getOneFrame =
        reinterpret_cast<PT_H264dec_GetOneFrame_t>(dlsym(m_handle, kH264GetOneFrameName));
    found.uninit = reinterpret_cast<PT_H264dec_Uninit_t>(dlsym(m_handle, kH264UninitName));
    return found ? found : DecoderEntries{};
}

} // namespace kalder
