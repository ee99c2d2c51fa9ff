#pragma once
// The prop library: browses the user's Poser content folders for prop files and loads the chosen
// prop's geometry for painting.
#include "plugin/afirstpluginaction.h"

#include <QStringList>

class myLibrary : public DzOrovistaPluginAction {
    Q_OBJECT
public:
    myLibrary();

    /// The content folders the browser lists, in order.
    QStringList folders;

    /// Fills the browser from the host's Poser content folders.
    void fillFromContentManager();
};
