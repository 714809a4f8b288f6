#include "app/cbrelvopico.h"

void CBrelvoPico::on_installPushButton_clicked() { }
