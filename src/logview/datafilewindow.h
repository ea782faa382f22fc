#pragma once

#include <QMdiSubWindow>

// The child window `frmHistory` ("Data File Viewer") that shows the loaded log.
// It stays open for the whole run: it closes only when the program exits (and not
// while a plot run is active), storing its placement as it goes.
class DataFileWindow : public QMdiSubWindow
{
    Q_OBJECT

public:
    DataFileWindow();
    ~DataFileWindow() override;

    // True for a non-empty file name; otherwise tells the user to open a file first.
    static bool checkHistFile(const QString &fileName);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void savePlacement();
};

// The data file window, created in the main frame (hidden) on first touch.
DataFileWindow &frmHistory();
DataFileWindow *loadedHistory();
