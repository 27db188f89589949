// The bottom layer has no widgets.
#include <QWidget>
