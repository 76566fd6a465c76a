// Pictures that tests make, saved where the test run keeps them for people
// to look at (QM_TEST_ARTEFACTS); nothing is saved when it is not set.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <cstdlib>

inline void SaveArtefact(const QImage& image, const char* name) {
  const char* folder = std::getenv("QM_TEST_ARTEFACTS");
  if (folder == nullptr) return;
  EXPECT_TRUE(image.save(QDir(folder).filePath(name))) << name;
}

// A file's bytes as they are, for formats QImage does not write (SVG, PDF).
inline void SaveArtefactBytes(const QByteArray& bytes, const char* name) {
  const char* folder = std::getenv("QM_TEST_ARTEFACTS");
  if (folder == nullptr) return;
  QFile file(QDir(folder).filePath(name));
  EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()) << name;
}
