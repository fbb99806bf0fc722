#include "platform/Dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

namespace quillon {

namespace {

BoxHandler& Handler()
{
    static BoxHandler handler;
    return handler;
}

void ShowBox(QMessageBox::Icon icon, const QString& text)
{
    // No parent: the box is application modal and centred on the screen.
    QMessageBox box(icon, ApplicationTitle(), text, QMessageBox::Ok);
    box.setObjectName(icon == QMessageBox::Critical ? QStringLiteral("ErrorBox") : QStringLiteral("MessageBox"));
    box.exec();
}

}  // namespace

QString ApplicationTitle()
{
    QString name = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (name.isEmpty() && QCoreApplication::instance() != nullptr)
        name = QCoreApplication::applicationName();
    const auto dot = name.indexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    if (name.isEmpty())
        return name;
    return name.left(1) + name.mid(1).toLower();
}

QString ErrorBoxText(const QString& text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

BoxHandler SetBoxHandler(BoxHandler handler)
{
    BoxHandler previous = std::move(Handler());
    Handler() = std::move(handler);
    return previous;
}

void ShowMessage(const QString& text)
{
    if (Handler())
        return Handler()(BoxKind::Message, text);
    ShowBox(QMessageBox::NoIcon, text);
}

void ShowError(const QString& text)
{
    if (Handler())
        return Handler()(BoxKind::Error, ErrorBoxText(text));
    ShowBox(QMessageBox::Critical, ErrorBoxText(text));
}

}  // namespace quillon
