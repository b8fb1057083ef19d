#include "platform/imageio/codecs/OpenJpegHandles.h"

namespace pellora {
namespace {

constexpr int kMaxWarnings = 200;

void collectError(const char* message, void* user) {
    auto* messages = static_cast<OpjMessages*>(user);
    if (messages->firstError.empty()) {
        messages->firstError = message;
        while (!messages->firstError.empty() && messages->firstError.back() == '\n') messages->firstError.pop_back();
    }
}

void collectWarning(const char*, void* user) {
    auto* messages = static_cast<OpjMessages*>(user);
    if (++messages->warningCount > kMaxWarnings) messages->gaveUp = true;
}

void dropInfo(const char*, void*) {}

struct InputState {
    MemoryInput* input;
    const OpjMessages* messages;
};

OPJ_SIZE_T readInput(void* buffer, OPJ_SIZE_T count, void* user) {
    auto* state = static_cast<InputState*>(user);
    if (state->messages->gaveUp) return static_cast<OPJ_SIZE_T>(-1);
    const std::size_t got = state->input->read(buffer, count);
    return got == 0 ? static_cast<OPJ_SIZE_T>(-1) : got;
}

OPJ_OFF_T skipInput(OPJ_OFF_T count, void* user) {
    auto* state = static_cast<InputState*>(user);
    const auto size = static_cast<OPJ_OFF_T>(state->input->data.size());
    const auto position = static_cast<OPJ_OFF_T>(state->input->position);
    if (state->messages->gaveUp || count > size - position || position + count < 0) return -1;
    state->input->position = static_cast<std::uint64_t>(position + count);
    return count;
}

OPJ_BOOL seekInput(OPJ_OFF_T position, void* user) {
    auto* state = static_cast<InputState*>(user);
    if (state->messages->gaveUp || position < 0 || static_cast<std::uint64_t>(position) > state->input->data.size()) {
        return OPJ_FALSE;
    }
    state->input->position = static_cast<std::uint64_t>(position);
    return OPJ_TRUE;
}

void freeInputState(void* user) { delete static_cast<InputState*>(user); }

OPJ_SIZE_T writeOutput(void* buffer, OPJ_SIZE_T count, void* user) {
    return static_cast<MemoryOutput*>(user)->write(buffer, count) ? count : static_cast<OPJ_SIZE_T>(-1);
}

OPJ_OFF_T skipOutput(OPJ_OFF_T count, void* user) {
    auto* output = static_cast<MemoryOutput*>(user);
    return output->seek(static_cast<std::int64_t>(output->position) + count) ? count : -1;
}

OPJ_BOOL seekOutput(OPJ_OFF_T position, void* user) {
    return static_cast<MemoryOutput*>(user)->seek(position) ? OPJ_TRUE : OPJ_FALSE;
}

} // namespace

std::string OpjMessages::errorOr(const std::string& fallback) const {
    if (gaveUp) return "too many warnings from OpenJPEG";
    return firstError.empty() ? fallback : "OpenJPEG: " + firstError;
}

void OpjMessages::attach(opj_codec_t* codec) {
    opj_set_error_handler(codec, collectError, this);
    opj_set_warning_handler(codec, collectWarning, this);
    opj_set_info_handler(codec, dropInfo, nullptr);
}

OpjStreamPtr makeOpjInputStream(MemoryInput& input, const OpjMessages& messages) {
    OpjStreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_TRUE));
    if (!stream) return nullptr;
    opj_stream_set_user_data(stream.get(), new InputState{&input, &messages}, freeInputState);
    opj_stream_set_user_data_length(stream.get(), input.data.size());
    opj_stream_set_read_function(stream.get(), readInput);
    opj_stream_set_skip_function(stream.get(), skipInput);
    opj_stream_set_seek_function(stream.get(), seekInput);
    return stream;
}

OpjStreamPtr makeOpjOutputStream(MemoryOutput& output) {
    OpjStreamPtr stream(opj_stream_create(OPJ_J2K_STREAM_CHUNK_SIZE, OPJ_FALSE));
    if (!stream) return nullptr;
    opj_stream_set_user_data(stream.get(), &output, nullptr);
    opj_stream_set_write_function(stream.get(), writeOutput);
    opj_stream_set_skip_function(stream.get(), skipOutput);
    opj_stream_set_seek_function(stream.get(), seekOutput);
    return stream;
}

} // namespace pellora
