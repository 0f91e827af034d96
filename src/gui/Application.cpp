#include "gui/Application.h"

#include <cstdio>
#include <exception>

TApplication::TApplication(int& Argc, char** Argv) : QApplication(Argc, Argv) {}

bool TApplication::notify(QObject* Receiver, QEvent* Event) {
  try {
    return QApplication::notify(Receiver, Event);
  } catch (...) {
    const std::string message = CurrentExceptionMessage();
    try {
      if (OnException) {
        OnException(message);
        return true;
      }
    } catch (...) {
      // The report itself failed: fall back to standard error.
    }
    std::fprintf(stderr, "glyptika: %s\n", message.c_str());
    return true;
  }
}

std::string CurrentExceptionMessage() {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}
