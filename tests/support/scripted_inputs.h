#pragma once
// Input boxes and file dialogs answered from a script; what was asked is kept.

#include "app/file_dialogs.h"
#include "app/input_boxes.h"

#include <QList>
#include <QStringList>

namespace glimmerby {

class ScriptedInputBoxes : public InputBoxes {
  public:
    QString ask(const QString &prompt, const QString &title, const QString &defaultText) override {
        prompts.append(prompt);
        titles.append(title);
        defaults.append(defaultText);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    QStringList answers, prompts, titles, defaults;
};

class ScriptedFileDialogs : public FileDialogs {
  public:
    QString openFile(const FileRequest &request) override { return answer(request); }
    QString saveFile(const FileRequest &request) override { return answer(request); }
    QStringList answers; // "" cancels
    QList<FileRequest> requests;

  private:
    QString answer(const FileRequest &request) {
        requests.append(request);
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
};

} // namespace glimmerby
