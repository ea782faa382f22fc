# Precompiled Qt headers. Nearly all of a file's compile time is spent reading Qt's
# headers, so four sets are compiled once per build and shared by the targets of
# their kind: the widget-free layer, its tests, the widget layers with the
# program, and the other test programs. Each set is made by a target that links no more
# of Qt than every user of the set does (a set made with a Qt module's flags that a
# user lacks is not used); where it is not used the compiler reads the headers as
# text, so a mismatch costs time, never correctness. The core set holds no widget
# header, so core code cannot come to rely on one.
option(VIEWER_PCH "Precompile the Qt headers shared by the sources" ON)
if(NOT VIEWER_PCH)
    return()
endif()

set(viewer_pch_core
    <QByteArray> <QColor> <QDateTime> <QDir> <QFile> <QFileInfo> <QHash> <QImage>
    <QList> <QLocale> <QObject> <QPainter> <QPointer> <QString> <QStringList> <QTimer>)
set(viewer_pch_widgets ${viewer_pch_core}
    <QAction> <QApplication> <QComboBox> <QDialog> <QLabel> <QLineEdit> <QMdiArea>
    <QPrinter> <QPushButton> <QScrollBar> <QStatusBar> <QTableView> <QToolBar>
    <QVBoxLayout> <QWidget>)

function(viewer_pch_set name headers)
    add_library(${name} OBJECT ${PROJECT_SOURCE_DIR}/cmake/pch.cpp)
    target_link_libraries(${name} PRIVATE viewer_options ${ARGN})
    target_precompile_headers(${name} PRIVATE ${headers})
endfunction()

viewer_pch_set(viewer_pch_core "${viewer_pch_core}" Qt6::Gui)
viewer_pch_set(viewer_pch_widgets "${viewer_pch_widgets}" Qt6::Widgets Qt6::PrintSupport)

target_precompile_headers(viewer_core REUSE_FROM viewer_pch_core)
foreach(target viewer_controls viewer_shell viewer_trendsetup viewer_trend viewer_logview krn740-viewer)
    target_precompile_headers(${target} REUSE_FROM viewer_pch_widgets)
endforeach()

if(NOT TARGET viewer_testsupport)
    return()
endif()
viewer_pch_set(viewer_pch_tests "${viewer_pch_widgets};<QSignalSpy>;<QTemporaryDir>;<QTest>"
    Qt6::Widgets Qt6::PrintSupport viewer_qttest)
viewer_pch_set(viewer_pch_coretests "${viewer_pch_core};<QSignalSpy>;<QTemporaryDir>;<QTest>"
    Qt6::Gui viewer_qttest)
target_precompile_headers(test_core REUSE_FROM viewer_pch_coretests)
foreach(target viewer_testsupport test_app test_controls test_shell test_logview test_trend test_trendsetup test_e2e)
    target_precompile_headers(${target} REUSE_FROM viewer_pch_tests)
endforeach()
