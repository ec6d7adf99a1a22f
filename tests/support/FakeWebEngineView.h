// A web view that records what the tab asks of it and answers scripts from a script of its own.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "workspace/surface/WebEngineView.h"

namespace orlith::testing {

class FakeWebEngineView final : public WebEngineView {
 public:
  struct Evaluation {
    std::string source;
    ScriptWorld world;
  };

  void load(const Url& url) override { loads.push_back(url.absoluteString()); }
  void reload(ReloadCache cache) override { reloads.push_back(cache); }
  void stopLoading() override { ++stops; }
  bool canGoBack() const override { return back; }
  bool canGoForward() const override { return forward; }
  void goBack() override { ++backs; }
  void goForward() override { ++forwards; }
  double zoomLevel() const override { return zoom; }
  void setZoomLevel(double level) override {
    zoom = level;
    zoomSets.push_back(level);
  }
  void focus() override { ++focuses; }
  bool isShownInActiveWindow() const override { return shownInActiveWindow; }
  std::optional<std::string> currentUri() const override { return uri; }

  Task<std::optional<Json>> evaluateScript(std::string source, ScriptWorld world) override {
    evaluations.push_back({std::move(source), world});
    return answer();
  }
  Task<std::optional<Json>> callFunction(std::string body, Json arguments,
                                         ScriptWorld world) override {
    evaluations.push_back({std::move(body) + " " + arguments.dump(), world});
    return answer();
  }

  std::optional<std::string> uri;
  std::vector<std::string> loads;
  std::vector<ReloadCache> reloads;
  int stops = 0;
  bool back = false;
  bool forward = false;
  int backs = 0;
  int forwards = 0;
  double zoom = 1.0;
  std::vector<double> zoomSets;
  int focuses = 0;
  bool shownInActiveWindow = true;
  std::vector<Evaluation> evaluations;
  // Answers in order; when none is left, `defaultAnswer`.
  std::deque<std::optional<Json>> answers;
  std::optional<Json> defaultAnswer;
  // Runs while a script is being evaluated, before it answers.
  std::function<void()> duringEvaluation;

 private:
  Task<std::optional<Json>> answer() {
    if (duringEvaluation)
      duringEvaluation();
    std::optional<Json> result = defaultAnswer;
    if (!answers.empty()) {
      result = answers.front();
      answers.pop_front();
    }
    co_return result;
  }
};

}  // namespace orlith::testing
