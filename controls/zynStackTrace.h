// The exception trace logger: appends a record to "<program>.trc" when an exception of the C++ runtime's
// own error classes (out of memory, range and length errors, conversion, stream and system errors, bad
// casts, arithmetic overflow) is not handled by the program (it reaches the application's default
// handler, TraceUnhandledException, or ends the process), and when the process receives a fault signal
// (SIGSEGV, SIGBUS, SIGFPE, SIGILL). A failure the program deals with itself (an out-of-memory that a
// command reports and recovers from) is no failure of the program and leaves no record. The program
// never reads the file; it is there for whoever gets a report.
//
// Records:
//   *** Module: <module>, version: <version> - 07 Dec 2026 17:15
//   *** <the exception's message>
//   then, for a raised exception, "UserAddress" with the address the raise was called from and up to
//   32 numbered return addresses of the raising thread (with their symbol where one is known), and
//   for a fault signal one return address per line; an empty line ends the record.
//
// Raises are observed by interposing the runtime's throw entry, which keeps what the record needs (the
// raising thread's return addresses) until the exception is known unhandled; the program's own
// exception classes, the silent abort and a plain std::exception are never logged, and the logger never
// changes or stops the exception it observes. One record is written whole before another starts,
// whatever the thread.
#pragma once

#include <cstdint>
#include <string>
#include <typeinfo>

// Starts logging (and takes over the terminate handler, which writes the record of the exception that
// ends the process before the previous handler runs): the trace file is the program's file name with ".trc" appended (the program file
// has no extension here), or, when the program's folder cannot be written, the same name in the
// preferences folder. Installs the fault-signal handlers. Calling it again changes nothing.
void InstallTraceLogger();
// Stops logging and puts back the signal handlers that were there before.
void UninstallTraceLogger();
// The module name and version of every later record ("(unknown)" and "0.0.0" until set).
void SetTraceModule(const std::string& Module, const std::string& Version);
// The module name and version in force.
std::string TraceModuleName();
std::string TraceVersion();

// The file records go to while logging; "" before InstallTraceLogger.
std::string TraceFileName();
// Sends the records to another file (tests, and a program folder that cannot be written).
void SetTraceFileName(const std::string& FileName);

// The header lines' date: day, English month abbreviation, year, hour and minute of the local time,
// as "07 Dec 2026 17:15".
std::string TraceDateText(int64_t UnixSeconds);

// Whether a raise of this type is logged: it is, or derives from, one of the runtime's error classes
// listed above.
bool IsTracedExceptionType(const std::type_info& Type);

// Appends the record of a raised exception: its message, the address it was raised from and the
// calling thread's return addresses. Swallows its own I/O errors. Does nothing unless logging.
void WriteRaisedRecord(const char* Message, const void* RaiseAddress);
// The application's default handler met the exception object Object (the address of what it caught):
// the record of its raise, kept by this thread, is appended. Nothing for an exception of a class that is
// not logged, or when not logging.
void TraceUnhandledException(const void* Object);
