// The receiver program's output: one JSON object per line on standard output.
#pragma once

#import <Foundation/Foundation.h>

#include <cstdio>

namespace kestrovan::appkit_driver {

inline void printJsonLine(NSDictionary<NSString*, id>* object) {
  NSData* data = [NSJSONSerialization dataWithJSONObject:object options:0 error:nil];
  if (!data) {
    data = [@"{\"event\":\"failed\",\"message\":\"unprintable line\"}" dataUsingEncoding:NSUTF8StringEncoding];
  }
  fwrite(data.bytes, 1, data.length, stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

}  // namespace kestrovan::appkit_driver
