// Puts a content on the clipboard the way another program does and serves it
// until another program takes the clipboard (or it is killed).
//
//   qd_clipsource --text TEXT [--secret] [--format MIME FILE]...
//
// --secret adds the hint password managers give ("x-kde-passwordManagerHint:
// secret"). Prints "owned" once the content is on the clipboard.
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QMimeData>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    auto* data = new QMimeData;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--text" && i + 1 < args.size()) {
            data->setText(args[++i]);
        } else if (args[i] == "--secret") {
            data->setData("x-kde-passwordManagerHint", "secret");
        } else if (args[i] == "--format" && i + 2 < args.size()) {
            const QString mime = args[++i];
            QFile f(args[++i]);
            if (!f.open(QIODevice::ReadOnly)) return 2;
            data->setData(mime, f.readAll());
        } else {
            std::fprintf(stderr, "qd_clipsource: unknown argument %s\n", qPrintable(args[i]));
            return 2;
        }
    }
    QClipboard* cb = QApplication::clipboard();
    cb->setMimeData(data);
    std::printf("owned\n");
    std::fflush(stdout);
    // Ends once another program owns the clipboard.
    QObject::connect(cb, &QClipboard::dataChanged, &app, [cb] {
        if (!cb->ownsClipboard()) QApplication::quit();
    });
    return app.exec();
}
