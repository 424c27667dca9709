#pragma once
// Several test classes in one executable, so that small suites of one area cost one link and not
// one each. Each file ends with CORVANE_TEST_CLASS(TheClass) where it would say QTEST_MAIN, and the
// executable is made with corvane_test(... MERGED), which links corvane_testmain and its main():
// every class runs in turn in one QApplication; `tst_core TstAcView gaugeBoundaries` runs one
// class with QTest's own arguments after its name.
#include <QObject>
#include <functional>
#include <memory>

namespace testmain {
bool add(const char *name, std::function<std::unique_ptr<QObject>()> make);
}

#define CORVANE_TEST_CLASS(Class) \
    static const bool Class##Added = testmain::add(#Class, [] { return std::unique_ptr<QObject>(new Class); });
