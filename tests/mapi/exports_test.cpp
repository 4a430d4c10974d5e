// The exported declarations have exactly the types clients bind them through.
#include "mapi/mapiexports.h"

#include <type_traits>

static_assert(std::is_same_v<decltype(&MAPIInitialize), LPMAPIINITIALIZE>);
static_assert(std::is_same_v<decltype(&MAPILogonEx), LPMAPILOGONEX>);
static_assert(std::is_same_v<decltype(&HrQueryAllRows), LPHRQUERYALLROWS>);
static_assert(std::is_same_v<decltype(&OpenIMsgOnIStg), LPOPENIMSGONISTG>);
static_assert(std::is_same_v<decltype(&MAPIOpenFormMgr), LPMAPIOPENFORMMGR>);
static_assert(std::is_same_v<decltype(&MAPIReadMail), LPMAPIREADMAIL>);
