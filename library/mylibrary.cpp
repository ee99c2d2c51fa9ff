#include "library/mylibrary.h"

#include "dzcontentmgr.h"
#include "plugin/programstate.h"

myLibrary::myLibrary() = default;

void myLibrary::fillFromContentManager()
{
    folders.clear();
    if (DzContentMgr *content = orovista::state().contentManager)
        for (int i = 0; i < content->getNumPoserDirectories(); ++i)
            folders << content->getPoserDirectory(i);
}
