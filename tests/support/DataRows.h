#pragma once

#include <initializer_list>

#include <QTest>

namespace testsupport {

// A row of a one-column data table: its tag and its value.
template <typename T> struct Row {
    const char* tag;
    T value;
};

// A row of a two-column data table: its tag and its two values.
template <typename A, typename B> struct Row2 {
    const char* tag;
    A first;
    B second;
};

// Declares a test's one-column data table in one statement: the column, then the rows in
// order, e.g. addRows<bool>("remember", {{"remembering off", false}, {"remembering on", true}}).
template <typename T> void addRows(const char* column, std::initializer_list<Row<T>> rows) {
    QTest::addColumn<T>(column);
    for (const Row<T>& row : rows) {
        QTest::newRow(row.tag) << row.value;
    }
}

// The same for two columns, e.g. addRows<QString, int>("name", "event", {{"exit", "exitButton",
// 1}}).
template <typename A, typename B>
void addRows(const char* first, const char* second, std::initializer_list<Row2<A, B>> rows) {
    QTest::addColumn<A>(first);
    QTest::addColumn<B>(second);
    for (const Row2<A, B>& row : rows) {
        QTest::newRow(row.tag) << row.first << row.second;
    }
}

} // namespace testsupport
