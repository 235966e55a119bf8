#include "shell/gui/MainWindowFactory.h"

#include "shell/gui/MainUnit.h"

std::unique_ptr<QWidget> NewMainForm() { return std::make_unique<TFernwickForm>(); }
