#pragma once

#include <QBuffer>

namespace velra::test {

// A buffer that fails every write once `limit` bytes have been written.
class FailDevice final : public QBuffer
{
public:
    explicit FailDevice(qint64 limit)
        : m_limit(limit)
    {
        open(QIODevice::WriteOnly);
    }

protected:
    qint64 writeData(const char *data, qint64 len) override
    {
        if (m_written + len > m_limit)
            return -1;
        m_written += len;
        return QBuffer::writeData(data, len);
    }

private:
    qint64 m_limit;
    qint64 m_written = 0;
};

} // namespace velra::test
