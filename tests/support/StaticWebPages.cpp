#include <QtPlugin>

// Tests of the pages carry the web engine built in, which OperatorWeb::engine() takes
// before looking for the program's module: one copy of its classes, which tests can reach.
Q_IMPORT_PLUGIN(WebPagesModule)
