#pragma once
#include <QOpenGLWidget>
