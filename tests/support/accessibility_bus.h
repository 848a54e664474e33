#pragma once
// The accessible names of every object of every application on a session bus of the run's
// own, read as a screen reader reads them (AT-SPI). Shared by the process tests and the
// fault runs, which start the real program on that bus.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QProcess>
#include <QStringList>
#include <QVariant>

#include <utility>

namespace glimmerby::testing {

class AccessibilityBus {
  public:
    ~AccessibilityBus() {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    // Starts the bus; its address goes into DBUS_SESSION_BUS_ADDRESS of the programs run.
    bool start() {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        m_daemon.waitForReadyRead(5000);
        return !(m_address = QString::fromUtf8(m_daemon.readLine()).trimmed()).isEmpty();
    }
    QString address() const { return m_address; }

    QStringList names() {
        // A new connection each time: the program of the last look may have gone.
        const QString id = QStringLiteral("a11y%1").arg(++m_connections);
        const QDBusConnection session = QDBusConnection::connectToBus(m_address, id + "s");
        const QDBusConnection bus = QDBusConnection::connectToBus(
            call(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus.GetAddress").toString(),
            id);
        QStringList found;
        const QVariant apps = call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                   "org.freedesktop.DBus.ListNames");
        for (const QString &name : apps.toStringList())
            if (name.startsWith(u':'))
                walk(bus, name, "/org/a11y/atspi/accessible/root", found, 0);
        return found;
    }

  private:
    // One call on a bus: the reply's first argument.
    static QVariant call(const QDBusConnection &bus, const QString &service, const QString &path,
                         const QString &method, const QVariantList &args = {}) {
        const qsizetype dot = method.lastIndexOf('.');
        QDBusMessage m =
            QDBusMessage::createMethodCall(service, path, method.left(dot), method.mid(dot + 1));
        m.setArguments(args);
        return bus.call(m, QDBus::Block, 2000).arguments().value(0);
    }
    static void walk(const QDBusConnection &bus, const QString &service, const QString &path,
                     QStringList &found, int depth) {
        if (depth > 40 || found.size() > 5000)
            return;
        found << call(bus, service, path, "org.freedesktop.DBus.Properties.Get",
                      {"org.a11y.atspi.Accessible", "Name"})
                     .value<QDBusVariant>()
                     .variant()
                     .toString();
        for (const auto &[child, childPath] :
             qdbus_cast<QList<std::pair<QString, QDBusObjectPath>>>(
                 call(bus, service, path, "org.a11y.atspi.Accessible.GetChildren")))
            walk(bus, child, childPath.path(), found, depth + 1);
    }

    QProcess m_daemon;
    QString m_address;
    int m_connections = 0;
};

} // namespace glimmerby::testing
