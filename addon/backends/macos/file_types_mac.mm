// File types on macOS: UniformTypeIdentifiers.

#import <Foundation/Foundation.h>
#import <UniformTypeIdentifiers/UniformTypeIdentifiers.h>

#include "port/file_types.h"

namespace kestrovan::port {

std::string folderTypeIdentifier() { return UTTypeFolder.identifier.UTF8String ?: ""; }
std::string dataTypeIdentifier() { return UTTypeData.identifier.UTF8String ?: ""; }

std::optional<std::string> typeIdentifierForExtension(const std::string& extension) {
  NSString* text = [[NSString alloc] initWithBytes:extension.data()
                                            length:extension.size()
                                          encoding:NSUTF8StringEncoding];
  if (text == nil) return std::nullopt;
  UTType* type = [UTType typeWithFilenameExtension:text conformingToType:UTTypeData];
  if (type == nil) return std::nullopt;
  const char* identifier = type.identifier.UTF8String;
  return identifier ? std::optional<std::string>(identifier) : std::nullopt;
}

bool isKnownTypeIdentifier(const std::string& identifier) {
  NSString* text = [[NSString alloc] initWithBytes:identifier.data()
                                            length:identifier.size()
                                          encoding:NSUTF8StringEncoding];
  return text != nil && [UTType typeWithIdentifier:text] != nil;
}

}  // namespace kestrovan::port
