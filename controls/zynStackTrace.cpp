#include "controls/zynStackTrace.h"

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <exception>
#include <filesystem>
#include <ios>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <typeinfo>
#include <variant>

#include "platform/Paths.h"

namespace {

constexpr const char* MonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr int RaisedFrames = 32;
constexpr int FaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

// Fixed buffers rather than strings: the fault-signal handler reads them and may not allocate.
struct TTraceState {
    std::atomic<bool> Installed{false};
    char FileName[4096] = "";
    char Module[256] = "(unknown)";
    char Version[64] = "0.0.0";
    long UtcOffset = 0;  // seconds east of UTC at installation, for the handler's clock
    const void* LastAddress = nullptr;
    int LastCode = 0;
    struct sigaction Previous[sizeof FaultSignals / sizeof FaultSignals[0]];
};

TTraceState& State() {
    static TTraceState S;
    return S;
}

// One record at a time; the handler only tries it, since a signal may arrive while it is held.
std::mutex RecordLock;
thread_local bool InsideHook = false;
std::terminate_handler PreviousTerminate = nullptr;
[[noreturn]] void OnTerminate();

void CopyText(char* Dest, size_t Size, const std::string& Text) {
    const size_t N = std::min(Size - 1, Text.size());
    std::memcpy(Dest, Text.data(), N);
    Dest[N] = 0;
}

// ---- Writing without the C library's formatting (safe in a signal handler) ------------------------

class TRecordWriter {
public:
    explicit TRecordWriter(const char* FileName)
        : FFd(::open(FileName, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644)) {}
    ~TRecordWriter() {
        Flush();
        if (FFd >= 0) ::close(FFd);
    }
    bool Ok() const { return FFd >= 0; }

    void Text(const char* S) {
        while (*S) Char(*S++);
    }
    void Char(char C) {
        if (FUsed == sizeof FBuf) Flush();
        FBuf[FUsed++] = C;
    }
    void Number(long long V, int Width = 0, char Pad = ' ') {
        char Digits[24];
        int N = 0;
        const bool Negative = V < 0;
        unsigned long long U = Negative ? 0ULL - static_cast<unsigned long long>(V) : V;
        do {
            Digits[N++] = static_cast<char>('0' + U % 10);
            U /= 10;
        } while (U);
        if (Negative) Digits[N++] = '-';
        for (int I = N; I < Width; ++I) Char(Pad);
        while (N) Char(Digits[--N]);
    }
    // At least eight hexadecimal digits, as wide as the address needs.
    void Address(const void* P) {
        uintptr_t V = reinterpret_cast<uintptr_t>(P);
        char Digits[2 * sizeof V];
        int N = 0;
        do {
            Digits[N++] = "0123456789abcdef"[V & 15];
            V >>= 4;
        } while (V);
        for (int I = N; I < 8; ++I) Char('0');
        while (N) Char(Digits[--N]);
    }

private:
    void Flush() {
        size_t Done = 0;
        while (FFd >= 0 && Done < FUsed) {
            const ssize_t W = ::write(FFd, FBuf + Done, FUsed - Done);
            if (W <= 0) break;
            Done += static_cast<size_t>(W);
        }
        FUsed = 0;
    }

    int FFd;
    char FBuf[1024];
    size_t FUsed = 0;
};

struct TClock {
    int Year, Month, Day, Hour, Minute;
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian), without the C library's time zone code.
TClock ClockOf(int64_t LocalSeconds) {
    int64_t Days = LocalSeconds / 86400;
    int64_t Rest = LocalSeconds % 86400;
    if (Rest < 0) {
        Rest += 86400;
        --Days;
    }
    Days += 719468;
    const int64_t Era = (Days >= 0 ? Days : Days - 146096) / 146097;
    const int64_t DayOfEra = Days - Era * 146097;
    const int64_t YearOfEra = (DayOfEra - DayOfEra / 1460 + DayOfEra / 36524 - DayOfEra / 146096) / 365;
    const int64_t DayOfYear = DayOfEra - (365 * YearOfEra + YearOfEra / 4 - YearOfEra / 100);
    const int64_t MonthIndex = (5 * DayOfYear + 2) / 153;
    const int Day = static_cast<int>(DayOfYear - (153 * MonthIndex + 2) / 5 + 1);
    const int Month = static_cast<int>(MonthIndex < 10 ? MonthIndex + 3 : MonthIndex - 9);
    const int Year = static_cast<int>(YearOfEra + Era * 400 + (Month <= 2 ? 1 : 0));
    return {Year, Month, Day, static_cast<int>(Rest / 3600), static_cast<int>(Rest % 3600 / 60)};
}

void WriteHeader(TRecordWriter& W, const TClock& C, const char* Message) {
    const TTraceState& S = State();
    W.Text("*** Module: ");
    W.Text(S.Module);
    W.Text(", version: ");
    W.Text(S.Version);
    W.Text(" - ");
    W.Number(C.Day, 2, '0');
    W.Char(' ');
    W.Text(MonthNames[C.Month - 1]);
    W.Char(' ');
    W.Number(C.Year);
    W.Char(' ');
    W.Number(C.Hour, 2, '0');
    W.Char(':');
    W.Number(C.Minute, 2, '0');
    W.Text("\n*** ");
    W.Text(Message ? Message : "");
    W.Char('\n');
}

TClock LocalClockNow() {
    const time_t Now = time(nullptr);
    struct tm Tm;
    if (!localtime_r(&Now, &Tm)) return ClockOf(Now);
    return {Tm.tm_year + 1900, Tm.tm_mon + 1, Tm.tm_mday, Tm.tm_hour, Tm.tm_min};
}

void WriteOffset(TRecordWriter& W, const void* Address, const void* Base) {
    W.Text("+0x");
    uintptr_t V = reinterpret_cast<uintptr_t>(Address) - reinterpret_cast<uintptr_t>(Base);
    char Hex[2 * sizeof V];
    int N = 0;
    do {
        Hex[N++] = "0123456789abcdef"[V & 15];
        V >>= 4;
    } while (V);
    while (N) W.Char(Hex[--N]);
}

// After the address: "name+0x1f" where the loader knows a symbol for it (C++ names demangled), else
// "module+0x1f2e0" (the offset in the file, for a symbolizer), else nothing.
void WriteSymbol(TRecordWriter& W, const void* Address) {
    Dl_info Info;
    if (!dladdr(Address, &Info)) return;
    W.Text("   ");
    if (Info.dli_sname) {
        int Status = 0;
        char* Demangled = abi::__cxa_demangle(Info.dli_sname, nullptr, nullptr, &Status);
        W.Text(Status == 0 && Demangled ? Demangled : Info.dli_sname);
        std::free(Demangled);
        WriteOffset(W, Address, Info.dli_saddr);
    } else if (Info.dli_fname) {
        const char* Slash = std::strrchr(Info.dli_fname, '/');
        W.Text(Slash ? Slash + 1 : Info.dli_fname);
        WriteOffset(W, Address, Info.dli_fbase);
    }
}

// ---- Fault signals ----------------------------------------------------------------------------------

const char* FaultText(int Signal) {
    switch (Signal) {
        case SIGSEGV:
            return "Access violation at address ";
        case SIGBUS:
            return "Bus error at address ";
        case SIGFPE:
            return "Floating point or integer division fault at address ";
        default:
            return "Privileged or illegal instruction at address ";
    }
}

void WriteFaultRecord(int Signal, const void* Address) {
    TTraceState& S = State();
    void* Frames[64];
    const int Count = backtrace(Frames, 64);
    const time_t Now = time(nullptr);
    TRecordWriter W(S.FileName);
    if (!W.Ok()) return;
    char Message[160];
    size_t N = 0;
    for (const char* T = FaultText(Signal); *T && N < sizeof Message - 40; ++T) Message[N++] = *T;
    Message[N++] = '0';
    Message[N++] = 'x';
    uintptr_t V = reinterpret_cast<uintptr_t>(Address);
    char Hex[2 * sizeof V];
    int H = 0;
    do {
        Hex[H++] = "0123456789abcdef"[V & 15];
        V >>= 4;
    } while (V);
    while (H) Message[N++] = Hex[--H];
    Message[N] = 0;
    WriteHeader(W, ClockOf(static_cast<int64_t>(Now) + S.UtcOffset), Message);
    // The handler's own frame and the kernel's trampoline say nothing about the fault.
    for (int I = 2; I < Count; ++I) {
        W.Address(Frames[I]);
        W.Char('\n');
    }
    W.Char('\n');
}

size_t SignalSlot(int Signal) {
    for (size_t I = 0; I < std::size(FaultSignals); ++I)
        if (FaultSignals[I] == Signal) return I;
    return 0;
}

void OnFaultSignal(int Signal, siginfo_t* Info, void*) {
    TTraceState& S = State();
    const void* Address = Info ? Info->si_addr : nullptr;
    if (S.Installed.load() && !(Address == S.LastAddress && Signal == S.LastCode)) {
        S.LastAddress = Address;
        S.LastCode = Signal;
        const bool Locked = RecordLock.try_lock();
        WriteFaultRecord(Signal, Address);
        if (Locked) RecordLock.unlock();
    }
    // The process cannot go on after a fault here: hand the signal to whoever had it before (by default
    // the end of the process). A fault of an instruction comes back by itself when the handler returns.
    sigaction(Signal, &S.Previous[SignalSlot(Signal)], nullptr);
    if (!Info || Info->si_code <= 0) raise(Signal);
}

std::string DefaultTraceFileName() {
    std::error_code Err;
    const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Err);
    if (Err) return {};
    const std::string Name = Exe.filename().string() + ".trc";
    const std::string Folder = platform::ProgramFolder();
    if (!Folder.empty() && ::access(Folder.c_str(), W_OK) == 0) return Folder + Name;
    const std::string Fallback = platform::WindowsFolder();
    return Fallback.empty() ? std::string() : Fallback + Name;
}

// The runtime's error classes, each logged with the classes derived from it.
const std::type_info* const TracedTypes[] = {
    &typeid(std::bad_alloc),         &typeid(std::out_of_range),
    &typeid(std::length_error),      &typeid(std::invalid_argument),
    &typeid(std::domain_error),      &typeid(std::system_error),
    &typeid(std::ios_base::failure), &typeid(std::bad_cast),
    &typeid(std::bad_typeid),        &typeid(std::bad_variant_access),
    &typeid(std::overflow_error),    &typeid(std::underflow_error),
    &typeid(std::range_error),       &typeid(std::bad_array_new_length),
};

}  // namespace

void InstallTraceLogger() {
    TTraceState& S = State();
    if (S.Installed.load()) return;
    if (!S.FileName[0]) CopyText(S.FileName, sizeof S.FileName, DefaultTraceFileName());
    const time_t Now = time(nullptr);
    struct tm Tm;
    S.UtcOffset = localtime_r(&Now, &Tm) ? Tm.tm_gmtoff : 0;
    // The first backtrace loads the unwinder; a fault handler must not be the one to do it.
    void* Warm[1];
    backtrace(Warm, 1);
    struct sigaction Action {};
    Action.sa_sigaction = OnFaultSignal;
    Action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&Action.sa_mask);
    for (size_t I = 0; I < std::size(FaultSignals); ++I) sigaction(FaultSignals[I], &Action, &S.Previous[I]);
    PreviousTerminate = std::set_terminate(OnTerminate);
    S.Installed.store(true);
}

void UninstallTraceLogger() {
    TTraceState& S = State();
    if (!S.Installed.exchange(false)) return;
    for (size_t I = 0; I < std::size(FaultSignals); ++I) sigaction(FaultSignals[I], &S.Previous[I], nullptr);
    std::set_terminate(PreviousTerminate);
}

void SetTraceModule(const std::string& Module, const std::string& Version) {
    std::lock_guard<std::mutex> Guard(RecordLock);
    CopyText(State().Module, sizeof State().Module, Module);
    CopyText(State().Version, sizeof State().Version, Version);
}

std::string TraceModuleName() {
    std::lock_guard<std::mutex> Guard(RecordLock);
    return State().Module;
}

std::string TraceVersion() {
    std::lock_guard<std::mutex> Guard(RecordLock);
    return State().Version;
}

std::string TraceFileName() {
    std::lock_guard<std::mutex> Guard(RecordLock);
    return State().Installed.load() ? State().FileName : "";
}

void SetTraceFileName(const std::string& FileName) {
    std::lock_guard<std::mutex> Guard(RecordLock);
    CopyText(State().FileName, sizeof State().FileName, FileName);
}

std::string TraceDateText(int64_t UnixSeconds) {
    const time_t T = static_cast<time_t>(UnixSeconds);
    struct tm Tm;
    if (!localtime_r(&T, &Tm)) return {};
    char Buf[64];
    std::snprintf(Buf, sizeof Buf, "%.2d %s %d %.2d:%.2d", Tm.tm_mday, MonthNames[Tm.tm_mon],
                  Tm.tm_year + 1900, Tm.tm_hour, Tm.tm_min);
    return Buf;
}

bool IsTracedExceptionType(const std::type_info& Type) {
    for (const std::type_info* Traced : TracedTypes) {
        void* Object = nullptr;
        if (*Traced == Type || Traced->__do_catch(&Type, &Object, 1)) return true;
    }
    return false;
}

namespace {

// Writes a raised exception's record from what was seen at the raise; Frames[Skip..Count) are the
// raising thread's return addresses.
void WriteRecord(const char* Message, const void* RaiseAddress, void* const* Frames, int Count, int Skip) {
    TRecordWriter W(State().FileName);
    if (!W.Ok()) return;
    WriteHeader(W, LocalClockNow(), Message);
    W.Text(" UserAddress   ");
    W.Address(RaiseAddress);
    WriteSymbol(W, RaiseAddress);
    W.Char('\n');
    for (int I = Skip, Line = 1; I < Count && Line <= RaisedFrames; ++I, ++Line) {
        W.Number(Line, 12);
        W.Text("   ");
        W.Address(Frames[I]);
        WriteSymbol(W, Frames[I]);
        W.Char('\n');
    }
    W.Char('\n');
}

// A raise of the runtime's classes, kept until it is known whether a handler of the program dealt with
// it (then it is forgotten) or it went on to the default handler or ended the process (then it is
// written). A few are kept per thread, so that exceptions raised and handled while one unwinds do not
// push it out.
struct TPendingRaise {
    const void* Object = nullptr;
    char Message[512] = "";
    const void* RaiseAddress = nullptr;
    void* Frames[RaisedFrames + 2];
    int Count = 0;
};

constexpr int PendingSlots = 4;
thread_local TPendingRaise Pending[PendingSlots];
thread_local int PendingNext = 0;

void KeepRaise(const void* Object, const char* Message, const void* RaiseAddress) {
    // An exception object lives where an earlier, finished one lived: that one was handled.
    for (TPendingRaise& Old : Pending)
        if (Old.Object == Object) Old.Object = nullptr;
    TPendingRaise& P = Pending[PendingNext];
    PendingNext = (PendingNext + 1) % PendingSlots;
    P.Object = Object;
    CopyText(P.Message, sizeof P.Message, Message);
    P.RaiseAddress = RaiseAddress;
    P.Count = backtrace(P.Frames, RaisedFrames + 2);
}

// Writes and forgets the kept raise of Object (the latest one when Object is nullptr).
void WritePending(const void* Object) {
    for (int K = 1; K <= PendingSlots; ++K) {
        TPendingRaise& P = Pending[(PendingNext - K + PendingSlots) % PendingSlots];
        if (!P.Object || (Object && P.Object != Object)) continue;
        std::lock_guard<std::mutex> Guard(RecordLock);
        // Frames 0 and 1 are KeepRaise and the throw hook.
        WriteRecord(P.Message, P.RaiseAddress, P.Frames, P.Count, 2);
        P.Object = nullptr;
        return;
    }
}

// An exception that no handler took ends the process: its record is written first.
[[noreturn]] void OnTerminate() {
    if (State().Installed.load()) WritePending(nullptr);
    if (PreviousTerminate) PreviousTerminate();
    std::abort();
}

}  // namespace

void WriteRaisedRecord(const char* Message, const void* RaiseAddress) {
    TTraceState& S = State();
    if (!S.Installed.load()) return;
    void* Frames[RaisedFrames + 3];
    const int Count = backtrace(Frames, RaisedFrames + 3);
    std::lock_guard<std::mutex> Guard(RecordLock);
    // Frames 0 and 1 are this function and its caller's hook.
    WriteRecord(Message, RaiseAddress, Frames, Count, 2);
}

void TraceUnhandledException(const void* Object) {
    if (Object && State().Installed.load()) WritePending(Object);
}

// The runtime's throw entry, taken over so that every raise passes the logger first; the real one is
// the next definition the loader knows.
namespace __cxxabiv1 {
extern "C" void __cxa_throw(void* Object, std::type_info* Type, void (*Destructor)(void*)) {
    using TThrow = void (*)(void*, std::type_info*, void (*)(void*));
    static const TThrow Real = reinterpret_cast<TThrow>(dlsym(RTLD_NEXT, "__cxa_throw"));
    if (State().Installed.load(std::memory_order_relaxed) && !InsideHook && Type &&
        IsTracedExceptionType(*Type)) {
        InsideHook = true;
        void* Base = Object;
        const char* Message = typeid(std::exception).__do_catch(Type, &Base, 1)
                                  ? static_cast<const std::exception*>(Base)->what()
                                  : "";
        try {
            KeepRaise(Object, Message, __builtin_return_address(0));
        } catch (...) {
        }
        InsideHook = false;
    }
    Real(Object, Type, Destructor);
    __builtin_unreachable();
}
}  // namespace __cxxabiv1
