// The application object of the glyptika program: the last guard against an
// exception reaching Qt's event loop, which cannot carry one.
#pragma once

#include <QApplication>

#include <functional>
#include <string>

class TApplication : public QApplication {
public:
  TApplication(int& Argc, char** Argv);

  // Shows the message of an exception no handler caught. Unset: it goes to
  // standard error. Either way the event is dropped and the program goes on.
  std::function<void(const std::string& Message)> OnException;

  bool notify(QObject* Receiver, QEvent* Event) override;
};

// The text an error box shows for the exception being handled (call inside a
// catch block).
std::string CurrentExceptionMessage();
