// The benchmark programs' machine-readable output: one line per figure, one
// per accuracy sample, and a watchdog that turns a hang into a reported
// failure instead of a stuck run.
#pragma once

#include <string>

// "ROW\tname\tvalue\tunit\tcompared against\ttarget\tstatus\tnote". Status is
// "pass", "fail", "info" (a figure without a target) or "not measured: why".
void ReportRow(const std::string& name, double value, const std::string& unit,
               const std::string& compared, const std::string& target, const std::string& status,
               const std::string& note);
void ReportNotMeasured(const std::string& name, const std::string& unit,
                       const std::string& compared, const std::string& target,
                       const std::string& reason);
const char* PassIf(bool met);

// "SAMPLE\t..." with tab-separated fields, for the plot.
void ReportSample(const std::string& fields);

// printf-style formatting into a std::string, for notes.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Starts a thread that ends the process with exit code 3 and a "HANG" line
// when Heartbeat has not been called for `seconds`.
void StartWatchdog(int seconds);
void Heartbeat(const char* phase);
