#pragma once
// Where the main window gets its Options dialog. Until the Options dialog
// exists, OptionsFormFactory.cpp makes a stand-in that only closes.

#include <QDialog>
#include <memory>

std::unique_ptr<QDialog> NewOptionsForm(QWidget* owner = nullptr);
