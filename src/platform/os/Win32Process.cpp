#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>
#include <utility>

#include "platform/NativeText.h"
#include "platform/os/Process.h"

namespace stowaway::os {

namespace {

// A handle closed when it goes.
struct Owned {
    HANDLE handle = INVALID_HANDLE_VALUE;
    Owned() = default;
    explicit Owned(HANDLE value) : handle(value ? value : INVALID_HANDLE_VALUE) {}
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    ~Owned() {
        if (valid()) ::CloseHandle(handle);
    }
    bool valid() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    HANDLE release() { return std::exchange(handle, INVALID_HANDLE_VALUE); }
};

std::string Message(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = length ? fromWide(std::wstring_view(text, length)) : std::string();
    if (text) ::LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.'))
        out.pop_back();
    return out.empty() ? "error " + std::to_string(error) : out;
}

void Fail(SpawnFailure* failure, std::string file, DWORD error) {
    if (failure) *failure = {std::move(file), Message(error)};
}

std::wstring Wide(std::string_view utf8) {
    const std::u16string path = LongPathForm(Utf8ToUtf16(utf8));
    return std::wstring(path.begin(), path.end());
}

// An inheritable copy of `handle`, which the program then gets.
HANDLE InheritableCopy(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !::DuplicateHandle(::GetCurrentProcess(), handle, ::GetCurrentProcess(), &copy, 0, TRUE,
                           DUPLICATE_SAME_ACCESS))
        return INVALID_HANDLE_VALUE;
    return copy;
}

// The program's end of one standard stream, inheritable; `ours` keeps our end of a pipe.
bool SetUpStream(const Stream& stream, DWORD standard, HANDLE output, Owned& childEnd, Owned& ours,
                 SpawnFailure* failure) {
    const bool input = standard == STD_INPUT_HANDLE;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    switch (stream.kind) {
        case Stream::Kind::Inherit:
            // A program without a console has none to pass on: the child gets none.
            childEnd.handle = InheritableCopy(::GetStdHandle(standard));
            return true;
        case Stream::Kind::SameAsOutput:
            childEnd.handle = InheritableCopy(output);
            return true;
        case Stream::Kind::Null:
            childEnd.handle = ::CreateFileW(L"NUL", input ? GENERIC_READ : GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                            OPEN_EXISTING, 0, nullptr);
            if (!childEnd.valid()) Fail(failure, "NUL", ::GetLastError());
            return childEnd.valid();
        case Stream::Kind::File: {
            const DWORD access =
                input ? GENERIC_READ
                      : (stream.append ? FILE_APPEND_DATA | SYNCHRONIZE : GENERIC_WRITE);
            const DWORD disposition =
                input ? OPEN_EXISTING : (stream.append ? OPEN_ALWAYS : CREATE_ALWAYS);
            childEnd.handle = ::CreateFileW(Wide(stream.file).c_str(), access,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                            &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (!childEnd.valid()) Fail(failure, stream.file, ::GetLastError());
            return childEnd.valid();
        }
        case Stream::Kind::Pipe: {
            HANDLE read = nullptr, write = nullptr;
            if (!::CreatePipe(&read, &write, &inherit, 65536)) {
                Fail(failure, {}, ::GetLastError());
                return false;
            }
            childEnd.handle = input ? read : write;
            ours.handle = input ? write : read;
            ::SetHandleInformation(ours.handle, HANDLE_FLAG_INHERIT, 0);
            if (input) {
                // A write that the program does not read returns at once instead of waiting.
                DWORD mode = PIPE_NOWAIT;
                ::SetNamedPipeHandleState(ours.handle, &mode, nullptr, nullptr);
            }
            return true;
        }
    }
    return true;
}

// The C runtime's way of handing descriptors to a program it starts, which the
// program's C runtime reads at start-up: a count, a flag byte per descriptor,
// then a handle per descriptor. The standard three are left to the standard
// handles; `passed` becomes descriptor `as`.
std::vector<unsigned char> DescriptorBlock(HANDLE passed, int as) {
    constexpr unsigned char Open = 0x01, Pipe = 0x08, Device = 0x40;
    const int count = as + 1;
    std::vector<unsigned char> block(sizeof(int) + count * (1 + sizeof(HANDLE)));
    std::memcpy(block.data(), &count, sizeof count);
    unsigned char* flags = block.data() + sizeof(int);
    unsigned char* handles = flags + count;
    for (int fd = 0; fd < count; ++fd) {
        HANDLE handle = fd == as ? passed : INVALID_HANDLE_VALUE;
        std::memcpy(handles + fd * sizeof(HANDLE), &handle, sizeof handle);
    }
    const DWORD type = ::GetFileType(passed);
    flags[as] = Open | (type == FILE_TYPE_PIPE ? Pipe : type == FILE_TYPE_CHAR ? Device : 0);
    return block;
}

// Our environment block with NAME=VALUE entries added or replaced.
std::wstring Environment(const std::vector<std::string>& added) {
    std::vector<std::wstring> entries;
    wchar_t* block = ::GetEnvironmentStringsW();
    for (const wchar_t* at = block; at && *at; at += std::wcslen(at) + 1) {
        const std::wstring entry = at;
        // Entries of drives' current folders start with '='.
        const std::size_t equals = entry.find(L'=', 1);
        bool replaced = false;
        for (const std::string& mine : added) {
            const std::wstring wide = toWide(mine);
            const std::size_t mineEquals = wide.find(L'=');
            replaced = replaced || (equals != std::wstring::npos && mineEquals == equals &&
                                    ::CompareStringOrdinal(wide.c_str(), static_cast<int>(equals),
                                                           entry.c_str(), static_cast<int>(equals),
                                                           TRUE) == CSTR_EQUAL);
        }
        if (!replaced) entries.push_back(entry);
    }
    if (block) ::FreeEnvironmentStringsW(block);
    for (const std::string& mine : added) entries.push_back(toWide(mine));
    std::sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_LESS_THAN;
    });
    std::wstring out;
    for (const std::wstring& entry : entries) out += entry + L'\0';
    out += L'\0';
    return out;
}

std::string ReadAvailable(HANDLE& pipe) {
    std::string out;
    std::array<char, 4096> buffer{};
    while (pipe != INVALID_HANDLE_VALUE) {
        DWORD available = 0;
        if (!::PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            // Every writer has gone.
            ::CloseHandle(pipe);
            pipe = INVALID_HANDLE_VALUE;
            break;
        }
        if (available == 0) break;
        DWORD got = 0;
        if (!::ReadFile(pipe, buffer.data(),
                        std::min<DWORD>(available, static_cast<DWORD>(buffer.size())), &got,
                        nullptr) ||
            got == 0)
            break;
        out.append(buffer.data(), got);
    }
    return out;
}

// Reads a pipe to its end, waiting.
void ReadToEnd(HANDLE& pipe, std::string& out) {
    std::array<char, 4096> buffer{};
    DWORD got = 0;
    while (pipe != INVALID_HANDLE_VALUE &&
           ::ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) &&
           got > 0)
        out.append(buffer.data(), got);
    if (pipe != INVALID_HANDLE_VALUE) ::CloseHandle(pipe);
    pipe = INVALID_HANDLE_VALUE;
}

}  // namespace

Process Process::Start(const SpawnSpec& spec, SpawnFailure* failure) {
    if (spec.arguments.empty()) {
        Fail(failure, {}, ERROR_FILE_NOT_FOUND);
        return {};
    }
    for (const std::string& argument : spec.arguments)
        if (argument.find('\0') != std::string::npos) {
            Fail(failure, {}, ERROR_INVALID_PARAMETER);
            return {};
        }
    const bool passing = spec.passed != NoHandle && spec.passed != nullptr;
    if (passing && (spec.passedAs < 3 || spec.passedAs > 1000)) {
        Fail(failure, {}, ERROR_INVALID_HANDLE);
        return {};
    }
    Owned inChild, outChild, errChild, in, out, err;
    if (!SetUpStream(spec.input, STD_INPUT_HANDLE, nullptr, inChild, in, failure) ||
        !SetUpStream(spec.output, STD_OUTPUT_HANDLE, nullptr, outChild, out, failure) ||
        !SetUpStream(spec.error, STD_ERROR_HANDLE, outChild.handle, errChild, err, failure))
        return {};
    Owned passed(passing ? InheritableCopy(spec.passed) : INVALID_HANDLE_VALUE);
    if (passing && !passed.valid()) {
        Fail(failure, {}, ::GetLastError());
        return {};
    }

    // Only these are inherited, whatever else is inheritable here.
    std::vector<HANDLE> inherited;
    for (const Owned* handle : {&inChild, &outChild, &errChild, &passed})
        if (handle->valid() &&
            std::find(inherited.begin(), inherited.end(), handle->handle) == inherited.end())
            inherited.push_back(handle->handle);
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<char> attributeMemory(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributeMemory.data());
    if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size)) {
        Fail(failure, {}, ::GetLastError());
        return {};
    }
    const bool listed = !inherited.empty() &&
                        ::UpdateProcThreadAttribute(
                            attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                            inherited.size() * sizeof(HANDLE), nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = inChild.valid() ? inChild.handle : nullptr;
    startup.StartupInfo.hStdOutput = outChild.valid() ? outChild.handle : nullptr;
    startup.StartupInfo.hStdError = errChild.valid() ? errChild.handle : nullptr;
    std::vector<unsigned char> descriptors;
    if (passing) {
        descriptors = DescriptorBlock(passed.handle, spec.passedAs);
        startup.StartupInfo.cbReserved2 = static_cast<WORD>(descriptors.size());
        startup.StartupInfo.lpReserved2 = descriptors.data();
    }
    if (listed) startup.lpAttributeList = attributes;

    std::wstring line = toWide(QuoteCommandLine(spec.arguments));
    const std::wstring program = Wide(spec.arguments[0]);
    std::wstring environment;
    if (!spec.environment.empty()) environment = Environment(spec.environment);
    // Suspended until it is in its job, so that nothing it starts escapes a stop.
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | CREATE_NO_WINDOW;
    if (listed) flags |= EXTENDED_STARTUPINFO_PRESENT;
    PROCESS_INFORMATION started{};
    const BOOL ok = ::CreateProcessW(spec.searchPath ? nullptr : program.c_str(), line.data(),
                                     nullptr, nullptr, listed ? TRUE : FALSE, flags,
                                     environment.empty() ? nullptr : environment.data(), nullptr,
                                     &startup.StartupInfo, &started);
    const DWORD error = ::GetLastError();
    ::DeleteProcThreadAttributeList(attributes);
    if (!ok) {
        Fail(failure, {}, error);
        return {};
    }
    Process process;
    process.id_ = static_cast<long>(started.dwProcessId);
    process.process_ = started.hProcess;
    HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
    if (job && !spec.mayOutliveUs) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    if (job && !::AssignProcessToJobObject(job, started.hProcess)) {
        ::CloseHandle(job);
        job = nullptr;
    }
    process.job_ = job ? job : NoHandle;
    ::ResumeThread(started.hThread);
    ::CloseHandle(started.hThread);
    process.input_ = in.release();
    process.output_ = out.release();
    process.errors_ = err.release();
    return process;
}

Process::~Process() {
    release();
}

Process::Process(Process&& other) noexcept {
    *this = std::move(other);
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        release();
        id_ = std::exchange(other.id_, 0);
        input_ = std::exchange(other.input_, NoHandle);
        output_ = std::exchange(other.output_, NoHandle);
        errors_ = std::exchange(other.errors_, NoHandle);
        process_ = std::exchange(other.process_, NoHandle);
        job_ = std::exchange(other.job_, NoHandle);
        ending_ = std::exchange(other.ending_, std::nullopt);
    }
    return *this;
}

void Process::release() {
    // The job's handle last: closing it ends whatever still runs in it.
    for (NativeHandle* handle : {&input_, &output_, &errors_, &process_, &job_}) {
        if (*handle != NoHandle) ::CloseHandle(*handle);
        *handle = NoHandle;
    }
    id_ = 0;
}

std::optional<Ending> Process::poll() {
    if (ending_ || id_ == 0) return ending_;
    if (::WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 1;
    ::GetExitCodeProcess(process_, &code);
    ending_ = Ending{static_cast<int>(code), false};
    closeInput();
    return ending_;
}

Ending Process::wait() {
    if (ending_ || id_ == 0) return ending_.value_or(Ending{});
    ::WaitForSingleObject(process_, INFINITE);
    return poll().value_or(Ending{1, false});
}

bool Process::terminate() {
    if (id_ == 0 || poll()) return false;
    // The program and every one it started, the archiver under the interpreter too.
    if (job_ != NoHandle) return ::TerminateJobObject(job_, 1) != 0;
    return ::TerminateProcess(process_, 1) != 0;
}

std::string Process::readOutput() {
    return ReadAvailable(output_);
}

std::string Process::readErrors() {
    return ReadAvailable(errors_);
}

bool Process::writeInput(std::string_view text) {
    if (input_ == NoHandle) return false;
    while (!text.empty()) {
        DWORD written = 0;
        if (!::WriteFile(input_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written == 0)
            return false;
        text.remove_prefix(written);
    }
    return true;
}

void Process::closeInput() {
    if (input_ != NoHandle) ::CloseHandle(input_);
    input_ = NoHandle;
}

Process::Finished Process::communicate(std::string_view input) {
    Finished finished;
    if (input_ != NoHandle && !input.empty()) {
        // Here a write may wait: a thread of its own keeps it from holding up the reads.
        DWORD mode = PIPE_WAIT;
        ::SetNamedPipeHandleState(input_, &mode, nullptr, nullptr);
    }
    std::thread writer([this, input] {
        std::string_view rest = input;
        DWORD written = 0;
        while (
            input_ != NoHandle && !rest.empty() &&
            ::WriteFile(input_, rest.data(), static_cast<DWORD>(rest.size()), &written, nullptr) &&
            written > 0)
            rest.remove_prefix(written);
        closeInput();
    });
    std::thread errors([this, &finished] { ReadToEnd(errors_, finished.errors); });
    ReadToEnd(output_, finished.output);
    errors.join();
    writer.join();
    finished.ending = wait();
    return finished;
}

}  // namespace stowaway::os
