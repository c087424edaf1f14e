#include "app/A_Tavrel_Main.h"

#include "app/FrmMain.h"
#include "support/Globals.h"

namespace tavrel {

void Main() {
  ProgramName = "Tavrel";
  ProductNumber = "230";
  static FrmMain* form = nullptr;
  form = new FrmMain();
  MainForm = form;
  MainForm->Load();
  MainForm->Refresh();
  MainForm->SetHeight(kCompactHeight);
  MainForm->Show();
}

}  // namespace tavrel
