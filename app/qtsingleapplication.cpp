#include "qtsingleapplication.h"

#include <QDataStream>
#include <QLocalServer>
#include <QLocalSocket>

QtSingleApplication::QtSingleApplication(int &argc, char **argv, bool GUIenabled)
    : QApplication(argc, argv, GUIenabled)
{
    init(QString());
}

QtSingleApplication::QtSingleApplication(const QString &id, int &argc, char **argv)
    : QApplication(argc, argv)
{
    init(id);
}

QtSingleApplication::~QtSingleApplication()
{
    delete m_guard;
}

void QtSingleApplication::init(const QString &id)
{
    m_id = id.isEmpty() ? SingleInstanceGuard::keyForExecutable(applicationFilePath()) : id;
    m_guard = new SingleInstanceGuard(m_id);
    if (m_guard->isRunning() || !m_guard->isGuarded())
        return;
    // The owner listens so that later copies could hand it a message.
    m_server = new QLocalServer(this);
    QLocalServer::removeServer(m_guard->serverName());
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(m_guard->serverName()))
        connect(m_server, &QLocalServer::newConnection, this, &QtSingleApplication::receiveConnection);
}

bool QtSingleApplication::isRunning() const
{
    return m_guard->isRunning();
}

bool QtSingleApplication::sendMessage(const QString &message, int timeout)
{
    if (!isRunning())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_guard->serverName());
    if (!socket.waitForConnected(timeout))
        return false;
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << message;
    socket.write(data);
    return socket.waitForBytesWritten(timeout);
}

void QtSingleApplication::receiveConnection()
{
    QLocalSocket *socket = m_server->nextPendingConnection();
    if (!socket)
        return;
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        QDataStream in(socket);
        QString message;
        in >> message;
        if (in.status() == QDataStream::Ok)
            emit messageReceived(message);
    });
}
