#pragma once
// The DQE report as an A4 PDF, drawn with Qt's own PDF writer: title, inputs with the SHA-256 of
// each file, the MTF, NNPS and DQE charts, the table at the standard frequencies, the warnings and
// the method, with the page number at the foot of each page.
//
// Usable from a program without a Qt application, such as vantry-measure: Qt needs a
// QGuiApplication for its fonts, so when there is no Qt application yet, the first call creates
// one and keeps it until the process ends. It runs on the "offscreen" platform (QT_QPA_PLATFORM is
// set to "offscreen" unless the environment names a platform already), so no window system is
// needed or contacted, and the C locale that the application's start changes is put back
// afterwards, so printf keeps writing decimal points. Call it from the main thread. A program
// that runs a QCoreApplication without a GUI gets an error instead.

#include "dqe_report.h"

#include <string>

/// Writes `report` to the regular file at `pdfPath`, created or replaced as a whole: the PDF is
/// drawn first and the file replaced only when it is complete, so a failure leaves nothing new.
/// Returns an empty text, or why the file was not written ("it is a folder", "cannot write it
/// (No such file or directory)").
std::string writeDqeReportPdf(const vantry::DqeReport& report, const std::string& pdfPath);

/// The SHA-256 of the file's bytes in hexadecimal, or "unreadable". Only regular files are read,
/// so a pipe named by mistake cannot hang the caller.
std::string fileSha256(const std::string& path);
