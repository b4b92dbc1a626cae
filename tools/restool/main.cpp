#include <QCoreApplication>
#include <QTextStream>

#include "ResTool.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTextStream err(stderr);
    ResTool tool(err);
    return tool.run(app.arguments().mid(1));
}
