#pragma once

#include <QMap>
#include <QString>
#include <QStringView>

// How often each machine changed a note: one counter per machine that saved a change of it, written as
// "<machine>:<count>" pairs ("3f9c0a1e:4 b71d22c0:2"). Comparing two revisions tells whether one side's note
// grew out of the other's or both were changed apart, however many saves lay between, so a merge needs no
// record of its own of what the other machine last saw.
class Revision {
public:
    enum class Order {
        Same,   // the same changes
        Before, // the other holds every change of this one and more
        After,  // this one holds every change of the other and more
        Apart,  // each holds a change the other lacks
    };

    Revision() = default;
    // Pairs that are no "<name>:<positive count>" are passed over.
    static Revision fromString(QStringView text);
    QString toString() const;

    bool isEmpty() const { return m_counts.isEmpty(); }
    // All changes of both taken together.
    qint64 total() const;
    // This revision with one more change by machine.
    Revision advanced(const QString &machine) const;
    // Every change of this one and of other.
    Revision joined(const Revision &other) const;
    Order compare(const Revision &other) const;

private:
    QMap<QString, qint64> m_counts;
};
