// A read-only string list over a whole corpus file, line by line, that never loads the file: a
// background thread finds the line starts and keeps them in a temporary index file, and each line is
// read from the file when a view asks for it. A view can show and scroll the lines found so far while
// the scan goes on.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "ui/StringsViewModel.h"
#include "engine/ConcErrors.h"
#include "engine/ConcTextProcess.h"

class TBufStream;
class TSynchroStream;

// Raised by the changes a read-only list refuses.
class EStringListError : public EConcError {
public:
    using EConcError::EConcError;
};

class TFileStrings : public TStrings {
public:
    static constexpr int32_t BlockSize = 65536;
    // Line starts kept in memory before they go to the index file in one write.
    static constexpr int32_t PendingCapacity = 4096;

    // Starts scanning Source (borrowed; it must outlive the list) on a thread of lower priority. Reader
    // (borrowed, a reader over Source used only by the caller's thread) reads the line texts. OnLine runs
    // on the scanning thread after each line start found, OnDone there once the scan has ended; neither
    // may touch widgets nor wait for the caller's thread. Raises EConcError when the index file cannot
    // be created.
    TFileStrings(TSynchroStream& Source, TBufStream& Reader, std::function<void()> OnLine = {},
                 std::function<void()> OnDone = {});
    // Stops the scan, waits for its thread and deletes the index file; no callback runs afterwards.
    ~TFileStrings() override;
    TFileStrings(const TFileStrings&) = delete;
    TFileStrings& operator=(const TFileStrings&) = delete;

    // The lines found so far; only grows.
    int GetCount() const override { return FCount.load(std::memory_order_acquire); }
    // The visible text of line Index (ReadVisibleText with Suppress): the line break and control
    // characters read as blanks. While the line's end is not yet found, only its first byte. Raises
    // std::out_of_range for an index outside 0 .. GetCount() - 1.
    std::string Get(int Index) const override;
    // Each raises EStringListError: the list follows its file only.
    void Clear() override;
    void Delete(int Index) override;
    void Insert(int Index, const std::string& S) override;

    // True once the scan has ended (all lines found, or the scan was stopped).
    bool Done() const { return FDone.load(std::memory_order_acquire); }
    // The file offset where line Index starts; -1 when that line has not been found. Raises
    // std::runtime_error when the index file cannot be read.
    int32_t OffsetOf(int Index) const;
    const std::string& IndexFileName() const { return FIndexFileName; }

    // What Get leaves out; set on the caller's thread.
    TSuppressFlags Suppress;

private:
    void Scan();
    void ScanBlock(const char* Block, int32_t Length, int32_t Base, bool Last);
    void AddLine(int32_t Offset);
    void FlushPending();

    TSynchroStream& FSource;
    TBufStream& FReader;
    const int32_t FSize;
    std::function<void()> FOnLine, FOnDone;
    std::string FIndexFileName;
    int FIndexFile = -1;
    // Guards the index file, Pending and the scan's reads of the shared stream.
    mutable std::mutex FLock;
    std::array<int32_t, PendingCapacity> FPending{};
    int32_t FPendingCount = 0;
    int32_t FWritten = 0;  // offsets in the index file
    std::atomic<int32_t> FCount{0};
    std::atomic<bool> FStop{false};
    std::atomic<bool> FDetached{false};  // the owner is going: no callback any more
    std::atomic<bool> FDone{false};
    // Scanning state, touched only by the scanning thread.
    int32_t FReadPosition = 0;
    int32_t FLineStart = 0;
    bool FBlockEndedInCR = false;
    std::thread FThread;
};
