#include "app/cbrelvopico.h"

void CBrelvoPico::on_uninstallPushButton_clicked() { }
