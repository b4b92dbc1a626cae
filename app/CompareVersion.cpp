#include "app/CompareVersion.h"

#include <QStringList>
#include <QVector>

namespace {

QVector<int> parts(const QString& text) {
    QVector<int> values;
    for (const QString& part : text.split('.')) {
        values.append(part.toInt()); // 0 when it is not a number
    }
    return values;
}

// The weighted sum in single precision, as the versions have always been compared:
// each part weighs a thousandth of the one before.
float weightedSum(const QVector<int>& values) {
    float sum = 0.0f;
    float weight = 1.0f;
    for (int value : values) {
        sum += static_cast<float>(value) * weight;
        weight *= 0.001f;
    }
    return sum;
}

} // namespace

int compareVersion(const QString& installed, const QString& server) {
    const QVector<int> have = parts(installed);
    const QVector<int> offered = parts(server);
    if (!(weightedSum(offered) > weightedSum(have))) {
        return 0;
    }
    for (int i = 0; i < 3; ++i) {
        if (offered.value(i) > have.value(i)) {
            return i + 1;
        }
    }
    return 0;
}
