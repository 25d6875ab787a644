#pragma once

#include "decoder/h264_d1_api.h"

#include <filesystem>
#include <memory>

namespace kalder {

// The three entries of the decoder module, all or none.
struct DecoderEntries {
    PT_H264dec_Init_t init = nullptr;
    PT_H264dec_GetOneFrame_t getOneFrame = nullptr;
    PT_H264dec_Uninit_t uninit = nullptr;

    explicit operator bool() const {
        return init != nullptr && getOneFrame != nullptr && uninit != nullptr;
    }
};

// The decoder module H264_D1.so, opened once at start-up from the program's folder and kept
// until exit; it must outlive every decoder that uses it. A missing module is not an error
// the operator sees: without it no frame is decoded.
class DecoderLibrary {
public:
    static constexpr const char* kFileName = "H264_D1.so";

    ~DecoderLibrary();
    DecoderLibrary(const DecoderLibrary&) = delete;
    DecoderLibrary& operator=(const DecoderLibrary&) = delete;

    // Nothing when the file cannot be opened.
    static std::unique_ptr<DecoderLibrary> open(const std::filesystem::path& file);
    // H264_D1.so beside the running program, else in the folder of an installed copy's files
    // (lib/kalder beside the program's bin folder).
    static std::unique_ptr<DecoderLibrary> openFromProgramFolder();
    // The folder of the running program (empty when it cannot be found).
    static std::filesystem::path programFolder();

    // Looks the entries up by name (each decode thread does so when it starts); empty when one
    // of them is missing. Any thread.
    DecoderEntries entries() const;

private:
    explicit DecoderLibrary(void* handle) : m_handle(handle) {}
    void* m_handle;
};

} // namespace kalder
